-- Data of the end-to-end tests: two accounts with links, one with an
-- additional contact, one without links, and ids holding apostrophes.
insert into contact1 (accountno, recid, company, contact) values
  ('E2E0000000001AA', 'E2EC1ALICE00001', 'Alpha Ltd', 'Alice Archer'),
  ('E2E0000000002BB', 'E2EC1BRUNO00002', 'Beta GmbH', 'Bruno Böhm'),
  ('E2E''O''NEILL''S', 'E2E''REC''00003', 'O''Neill''s Pub', 'Orla O''Neill'),
  ('E2E0000000004DD', 'E2EC1DORA000004', 'Delta SA', 'Dora Dias');

insert into contsupp (accountno, recid, rectype, contact, title) values
  ('E2E0000000001AA', 'E2EC2CARL000011', 'C', 'Carl Cole', 'Buyer');

insert into contsupp (accountno, recid, rectype, contact, title, linkacct, country, address1, address2) values
  ('E2E0000000001AA', 'E2EP3A000000101', 'P', 'Web Site', 'Website', 'E2EC1ALICE00001', 'Company',
   'http://www.alpha.example', ''),
  ('E2E0000000001AA', 'E2EP3A000000102', 'p', 'WEB SITE', 'LinkedIn ', 'E2EC1ALICE00001', 'Personal',
   'https://www.linkedin.example/in/ali', 'ce-archer'),
  ('E2E0000000001AA', 'E2EP3A000000103', 'P', 'Web Site', 'Facebook ', 'E2EC1ALICE00001', 'Company',
   'http://facebook.example/alpha', NULL),
  ('E2E0000000001AA', 'E2EP3A000000111', 'P', 'Web Site', 'Twitter', 'E2EC2CARL000011', 'Personal',
   'http://twitter.example/carl', ''),
  ('E2E0000000001AA', 'E2EP3A000000199', 'P', 'Web Site', 'Unlinked', '', 'Company',
   'http://unlinked.example', ''),
  ('E2E0000000002BB', 'E2EP3B000000201', 'P', 'Web Site', 'Website', 'E2EC1BRUNO00002', 'Company',
   'http://www.beta.example', ''),
  ('E2E''O''NEILL''S', 'E2EP3O000000301', 'P', 'Web Site', 'Website', 'E2E''REC''00003', 'Company',
   'http://oneills.example', '');
