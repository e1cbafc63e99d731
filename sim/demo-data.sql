-- Demo data for gmw.exe --demo. Runs after the tables have been created.
-- Website links are stored the way Pelmora writes them: detail "Web Site",
-- rectype P, linkacct = the contact's own recid, type in country,
-- description in title, the address split 35 + 40 into address1/address2.

insert into contact1 (accountno, recid, company, contact, lastname, title, phone1, city, country) values
  ('A1120301001ACME', 'C1ACMEBAKER0001', 'Acme Tools Ltd', 'John Baker', 'Baker', 'Managing Director', '+44 161 555 0101', 'Manchester', 'United Kingdom'),
  ('A1120301002BRAS', 'C1BRASDUPRE0002', 'Brasserie Dupré', 'François Dupré', 'Dupré', 'Owner', '+33 4 72 55 01 02', 'Lyon', 'France'),
  ('A1120301003HARB', 'C1HARBOCONN0003', 'Harbour Lights Trust', 'Siobhán O''Connor', 'O''Connor', 'Director', '+353 21 555 0103', 'Cork', 'Ireland'),
  ('A1120301004NORD', 'C1NORDWEISS0004', 'Nordlicht Design GmbH', 'Jürgen Weiß', 'Weiß', 'Art Director', '+49 40 555 0104', 'Hamburg', 'Germany'),
  ('A1120301005QUIC', 'C1QUICSMITH0005', 'Quick Print Co', 'Mary-Ann Smith', 'Smith', 'Office Manager', '+1 312 555 0105', 'Chicago', 'USA'),
  ('A1120301006SOLO', 'C1SOLOMENSA0006', 'Solo Consulting', 'Kwame Mensah', 'Mensah', 'Consultant', '+233 30 555 0106', 'Accra', 'Ghana');

-- Additional contacts (rectype C; the name is in contact).
insert into contsupp (accountno, recid, rectype, contact, title, phone) values
  ('A1120301001ACME', 'C2ACMEMULLER011', 'C', 'Zoë Müller', 'Sales Manager', '+44 161 555 0111'),
  ('A1120301001ACME', 'C2ACMESTONE0012', 'C', 'Peter Stone', 'Accounts', '+44 161 555 0112'),
  ('A1120301002BRAS', 'C2BRASLEFEVR021', 'C', 'Hélène Lefèvre', 'Chef de cuisine', '+33 4 72 55 01 21'),
  ('A1120301004NORD', 'C2NORDLINDQV041', 'C', 'Åsa Lindqvist', 'Designer', '+49 40 555 0141'),
  ('A1120301006SOLO', 'C2SOLOASANTE061', 'C', 'Ama Asante', 'Assistant', '+233 30 555 0161');

-- Website links.
insert into contsupp (accountno, recid, rectype, contact, title, linkacct, country, address1, address2, ref, notes) values
  ('A1120301001ACME', 'P3ACMEWEB000101', 'P', 'Web Site', 'Website', 'C1ACMEBAKER0001', 'Company',
   'http://www.acme-tools.example', '', 'http://www.acme-tools.example',
   '~~REF=http://www.acme-tools.example' || char(10) || '~~NOTES=John Baker - Website (Company)) '),
  ('A1120301001ACME', 'P3ACMELINK00102', 'P', 'Web Site', 'LinkedIn ', 'C1ACMEBAKER0001', 'Personal',
   'https://www.linkedin.example/in/joh', 'nbaker', 'https://www.linkedin.example/in/joh',
   '~~REF=https://www.linkedin.example/in/johnbaker' || char(10) || '~~NOTES=John Baker - LinkedIn  (Personal)) '),
  ('A1120301001ACME', 'P3ACMELINK00111', 'P', 'Web Site', 'LinkedIn ', 'C2ACMEMULLER011', 'Personal',
   'https://www.linkedin.example/in/zoe', '-mueller', 'https://www.linkedin.example/in/zoe',
   '~~REF=https://www.linkedin.example/in/zoe-mueller' || char(10) || '~~NOTES=Zoë Müller - LinkedIn  (Personal)) '),
  ('A1120301001ACME', 'P3ACMETWIT00112', 'P', 'Web Site', 'Twitter', 'C2ACMEMULLER011', 'Company',
   'http://twitter.example/acmetools', '', 'http://twitter.example/acmetools',
   '~~REF=http://twitter.example/acmetools' || char(10) || '~~NOTES=Zoë Müller - Twitter (Company)) '),
  ('A1120301002BRAS', 'P3BRASFACE00201', 'P', 'Web Site', 'Facebook ', 'C1BRASDUPRE0002', 'Company',
   'http://www.facebook.example/brasser', 'ie-dupre-lyon', 'http://www.facebook.example/brasser',
   '~~REF=http://www.facebook.example/brasserie-dupre-lyon' || char(10) || '~~NOTES=François Dupré - Facebook  (Company)) '),
  ('A1120301002BRAS', 'P3BRASINST00202', 'P', 'Web Site', 'Instagram ', 'C1BRASDUPRE0002', 'Personal',
   'http://instagram.example/francois.d', 'upre', 'http://instagram.example/francois.d',
   '~~REF=http://instagram.example/francois.dupre' || char(10) || '~~NOTES=François Dupré - Instagram  (Personal)) '),
  ('A1120301002BRAS', 'P3BRASWEBS00221', 'P', 'Web Site', 'Website', 'C2BRASLEFEVR021', 'Personal',
   'http://www.helene-cuisine.example', NULL, 'http://www.helene-cuisine.example',
   '~~REF=http://www.helene-cuisine.example' || char(10) || '~~NOTES=Hélène Lefèvre - Website (Personal)) '),
  ('A1120301003HARB', 'P3HARBWEBS00301', 'P', 'Web Site', 'Website', 'C1HARBOCONN0003', 'Company',
   'https://www.harbour-lights-trust.ex', 'ample/about-us/our-people/trustees-and-s', 'https://www.harbour-lights-trust.ex',
   '~~REF=https://www.harbour-lights-trust.example/about-us/our-people/trustees-and-staff.html' || char(10) || '~~NOTES=Siobhán O''Connor - Website (Company)) '),
  ('A1120301003HARB', 'P3HARBTWIT00302', 'P', 'Web Site', 'Twitter', 'C1HARBOCONN0003', 'Personal',
   'http://twitter.example/siobhan_oc', '', 'http://twitter.example/siobhan_oc',
   '~~REF=http://twitter.example/siobhan_oc' || char(10) || '~~NOTES=Siobhán O''Connor - Twitter (Personal)) '),
  ('A1120301004NORD', 'P3NORDPINT00441', 'P', 'Web Site', 'Pinterest', 'C2NORDLINDQV041', 'Personal',
   'http://pinterest.example/asalindqv', 'ist', 'http://pinterest.example/asalindqv',
   '~~REF=http://pinterest.example/asalindqvist' || char(10) || '~~NOTES=Åsa Lindqvist - Pinterest (Personal)) '),
  ('A1120301005QUIC', 'P3QUICWEBS00501', 'P', 'web site', 'Website', 'C1QUICSMITH0005', 'Company',
   'http://www.quickprint.example', '', 'http://www.quickprint.example',
   '~~REF=http://www.quickprint.example' || char(10) || '~~NOTES=Mary-Ann Smith - Website (Company)) '),
  ('A1120301005QUIC', 'P3QUICYOUT00502', 'P', 'Web Site', 'YouTube', 'C1QUICSMITH0005', '',
   'http://youtube.example/quickprintco', '', 'http://youtube.example/quickprintco',
   '~~REF=http://youtube.example/quickprintco' || char(10) || '~~NOTES=Mary-Ann Smith - YouTube ()) '),
  ('A1120301006SOLO', 'P3SOLOWEBS00601', 'P', 'Web Site', 'Website', 'C1SOLOMENSA0006', 'Company',
   'http://www.solo-consulting.example', '', 'http://www.solo-consulting.example',
   '~~REF=http://www.solo-consulting.example' || char(10) || '~~NOTES=Kwame Mensah - Website (Company)) ');

-- Other details that the website list must not show: a web site without a
-- link to a contact, and a detail of another name.
insert into contsupp (accountno, recid, rectype, contact, title, linkacct, country, address1) values
  ('A1120301005QUIC', 'P3QUICOLDW00503', 'P', 'Web Site', 'Old site', '', 'Company', 'http://old.quickprint.example'),
  ('A1120301006SOLO', 'P3SOLOBDAY00602', 'P', 'Birthday', '12 March', 'C1SOLOMENSA0006', '', '');
