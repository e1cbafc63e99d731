#include "crash/ui/delivery/dns_message.h"

#include <algorithm>

#include "crash/base/text_case.h"

namespace ostrel::delivery {

namespace {

constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kMaxNameBytes = 255;
constexpr std::size_t kMaxLabel = 63;
constexpr std::uint16_t kClassIn = 1;
constexpr std::uint16_t kResponse = 0x8000, kOpcode = 0x7800, kTruncation = 0x0200;
constexpr std::uint16_t kRecursionDesired = 0x0100;
constexpr int kMaxAliases = 8;
constexpr int kMaxJumps = 128;

bool LabelByte(std::uint8_t b) { return b > 0x20 && b < 0x7F && b != '.'; }

std::uint16_t Word(std::span<const std::uint8_t> m, std::size_t at) {
  return static_cast<std::uint16_t>(m[at] << 8 | m[at + 1]);
}

void PutWord(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

std::string_view WithoutRootDot(std::string_view name) {
  if (!name.empty() && name.back() == '.') name.remove_suffix(1);
  return name;
}

struct Record {
  std::string owner;
  std::uint16_t type, klass;
  std::size_t data, size;
};

DnsError ReadRecord(std::span<const std::uint8_t> m, std::size_t& at, Record& record) {
  if (DnsError e = ReadDnsName(m, at, record.owner, at); e != DnsError::None) return e;
  if (m.size() - at < 10) return DnsError::Truncated;
  record.type = Word(m, at);
  record.klass = Word(m, at + 2);
  record.size = Word(m, at + 8);
  record.data = at + 10;
  if (m.size() - record.data < record.size) return DnsError::Truncated;
  at = record.data + record.size;
  return DnsError::None;
}

// The host name of a record's data from `at` on, which must end exactly
// with the data.
DnsError ReadDataName(std::span<const std::uint8_t> m, const Record& r, std::size_t at,
                      std::string& name) {
  std::size_t next = 0;
  // The name's own bytes may not run past the data, even where the
  // message goes on.
  const std::span<const std::uint8_t> upToData = m.first(r.data + r.size);
  if (DnsError e = ReadDnsName(upToData, at, name, next); e != DnsError::None)
    return e == DnsError::Truncated ? DnsError::BadRecord : e;
  return next == r.data + r.size ? DnsError::None : DnsError::BadRecord;
}

void AddHost(std::vector<DnsHost>& hosts, std::uint16_t preference, std::string name) {
  if (name.empty()) return;
  for (const DnsHost& h : hosts)
    if (SameDnsName(h.name, name)) return;
  hosts.push_back({preference, std::move(name)});
}

}  // namespace

bool SameDnsName(std::string_view a, std::string_view b) {
  a = WithoutRootDot(a), b = WithoutRootDot(b);
  return EqualsNoCase(a, b);
}

std::optional<std::vector<std::uint8_t>> EncodeDnsName(std::string_view name) {
  name = WithoutRootDot(name);
  if (name.empty()) return std::nullopt;
  std::vector<std::uint8_t> out;
  std::size_t start = 0;
  while (start <= name.size()) {
    const std::size_t end = std::min(name.find('.', start), name.size());
    const std::size_t length = end - start;
    if (length == 0 || length > kMaxLabel) return std::nullopt;
    out.push_back(static_cast<std::uint8_t>(length));
    for (std::size_t i = start; i < end; ++i) {
      if (!LabelByte(static_cast<std::uint8_t>(name[i]))) return std::nullopt;
      out.push_back(static_cast<std::uint8_t>(name[i]));
    }
    start = end + 1;
  }
  out.push_back(0);
  if (out.size() > kMaxNameBytes) return std::nullopt;
  return out;
}

std::optional<std::vector<std::uint8_t>> BuildDnsQuery(std::uint16_t id, std::string_view name,
                                                       DnsType type) {
  const std::optional<std::vector<std::uint8_t>> encoded = EncodeDnsName(name);
  if (!encoded) return std::nullopt;
  std::vector<std::uint8_t> query;
  PutWord(query, id);
  PutWord(query, kRecursionDesired);
  PutWord(query, 1);  // one question, no records
  for (int i = 0; i < 3; ++i) PutWord(query, 0);
  query.insert(query.end(), encoded->begin(), encoded->end());
  PutWord(query, static_cast<std::uint16_t>(type));
  PutWord(query, kClassIn);
  return query;
}

DnsError ReadDnsName(std::span<const std::uint8_t> m, std::size_t offset, std::string& name,
                     std::size_t& next) {
  name.clear();
  std::size_t at = offset;
  // Where the labels being read began: a pointer must point before it.
  std::size_t runStart = offset;
  std::size_t wireBytes = 0;
  int jumps = 0;
  bool jumped = false;
  while (true) {
    if (at >= m.size()) return DnsError::Truncated;
    const std::uint8_t length = m[at];
    if ((length & 0xC0) == 0xC0) {
      if (at + 1 >= m.size()) return DnsError::Truncated;
      const std::size_t target = (length & 0x3F) << 8 | m[at + 1];
      if (target >= m.size()) return DnsError::PointerOutside;
      // Strictly backwards is what ends every chain; the count is a second
      // guard.
      if (target >= runStart || ++jumps > kMaxJumps) return DnsError::PointerLoop;
      if (!jumped) next = at + 2;
      jumped = true;
      at = runStart = target;
      continue;
    }
    if (length & 0xC0) return DnsError::BadLabel;
    wireBytes += 1 + length;
    if (wireBytes > kMaxNameBytes) return DnsError::NameTooLong;
    if (length == 0) break;
    if (m.size() - at - 1 < length) return DnsError::Truncated;
    if (!name.empty()) name += '.';
    for (std::size_t i = at + 1; i <= at + length; ++i) {
      if (!LabelByte(m[i])) return DnsError::BadLabel;
      name += static_cast<char>(m[i]);
    }
    at += 1 + length;
  }
  if (!jumped) next = at + 1;
  return DnsError::None;
}

DnsReply ParseDnsReply(std::span<const std::uint8_t> m, std::uint16_t id, std::string_view name,
                       DnsType type) {
  DnsReply reply;
  auto fail = [&](DnsError e) {
    reply.error = e;
    reply.hosts.clear();
    return reply;
  };
  if (m.size() < kHeaderSize) return fail(DnsError::Truncated);
  if (Word(m, 0) != id) return fail(DnsError::IdMismatch);
  const std::uint16_t flags = Word(m, 2);
  if (!(flags & kResponse) || (flags & kOpcode)) return fail(DnsError::NotAReply);
  if (flags & kTruncation) return fail(DnsError::CutShort);
  reply.responseCode = flags & 0x000F;
  if (reply.responseCode != 0) return fail(DnsError::ServerError);
  if (Word(m, 4) != 1) return fail(DnsError::QuestionMismatch);
  const std::size_t answers = Word(m, 6), authorities = Word(m, 8);

  std::size_t at = kHeaderSize;
  std::string asked;
  if (DnsError e = ReadDnsName(m, at, asked, at); e != DnsError::None) return fail(e);
  if (m.size() - at < 4) return fail(DnsError::Truncated);
  if (!SameDnsName(asked, name) || Word(m, at) != static_cast<std::uint16_t>(type) ||
      Word(m, at + 2) != kClassIn)
    return fail(DnsError::QuestionMismatch);
  at += 4;

  const std::size_t wanted = answers + (type == DnsType::NS ? authorities : 0);
  std::vector<Record> records;
  for (std::size_t i = 0; i < wanted; ++i) {
    Record r;
    if (DnsError e = ReadRecord(m, at, r); e != DnsError::None) return fail(e);
    if (r.klass == kClassIn) records.push_back(std::move(r));
  }

  // The names the question stands for: itself and its aliases.
  std::vector<std::string> names = {std::string(WithoutRootDot(name))};
  for (int hop = 0; hop < kMaxAliases; ++hop) {
    std::string alias;
    for (const Record& r : records) {
      if (!alias.empty()) break;
      if (r.type != static_cast<std::uint16_t>(DnsType::CNAME) ||
          !SameDnsName(r.owner, names.back()))
        continue;
      if (DnsError e = ReadDataName(m, r, r.data, alias); e != DnsError::None) return fail(e);
    }
    if (alias.empty()) break;
    names.push_back(alias);
  }
  auto ours = [&](const std::string& owner) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& n) { return SameDnsName(n, owner); });
  };

  for (const Record& r : records) {
    if (r.type != static_cast<std::uint16_t>(type)) continue;
    std::string host;
    if (type == DnsType::MX) {
      if (r.size < 3) return fail(DnsError::BadRecord);
      if (DnsError e = ReadDataName(m, r, r.data + 2, host); e != DnsError::None) return fail(e);
      if (ours(r.owner)) AddHost(reply.hosts, Word(m, r.data), std::move(host));
    } else {
      if (DnsError e = ReadDataName(m, r, r.data, host); e != DnsError::None) return fail(e);
      AddHost(reply.hosts, 0, std::move(host));
    }
  }
  std::stable_sort(reply.hosts.begin(), reply.hosts.end(),
                   [](const DnsHost& a, const DnsHost& b) { return a.preference < b.preference; });
  return reply;
}

const char* DnsErrorText(DnsError error) {
  switch (error) {
    case DnsError::None:
      return "no error";
    case DnsError::Truncated:
      return "the message ends too early";
    case DnsError::NotAReply:
      return "not a reply to a standard query";
    case DnsError::IdMismatch:
      return "a reply to another query";
    case DnsError::QuestionMismatch:
      return "a reply to another question";
    case DnsError::CutShort:
      return "the server cut the reply short";
    case DnsError::ServerError:
      return "the server reports an error";
    case DnsError::PointerOutside:
      return "a compression pointer points outside the message";
    case DnsError::PointerLoop:
      return "a compression pointer loops";
    case DnsError::BadLabel:
      return "a name holds a label no host name has";
    case DnsError::NameTooLong:
      return "a name is longer than 255 bytes";
    case DnsError::BadRecord:
      return "a record's data does not match its type";
  }
  return "unknown error";
}

}  // namespace ostrel::delivery
