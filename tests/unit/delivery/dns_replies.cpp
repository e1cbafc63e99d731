#include "dns_replies.h"

#include <cctype>

namespace ostrel::delivery::testing {

namespace {

void Put16(std::vector<std::uint8_t>& m, std::uint16_t v) {
  m.push_back(static_cast<std::uint8_t>(v >> 8));
  m.push_back(static_cast<std::uint8_t>(v));
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Writes `name`, pointing to an earlier copy of its longest known suffix.
void PutName(std::vector<std::uint8_t>& m, std::map<std::string, std::size_t>& known,
             const std::string& name) {
  std::string rest = name;
  while (!rest.empty()) {
    const auto found = known.find(Lower(rest));
    if (found != known.end()) {
      Put16(m, static_cast<std::uint16_t>(0xC000 | found->second));
      return;
    }
    if (m.size() < 0x3FFF) known[Lower(rest)] = m.size();
    const std::size_t dot = rest.find('.');
    const std::string label = rest.substr(0, dot);
    m.push_back(static_cast<std::uint8_t>(label.size()));
    m.insert(m.end(), label.begin(), label.end());
    rest = dot == std::string::npos ? "" : rest.substr(dot + 1);
  }
  m.push_back(0);
}

}  // namespace

DnsReplyWriter::DnsReplyWriter(std::uint16_t id, std::string question, DnsType type)
    : id_(id), question_(std::move(question)), type_(type) {}

DnsReplyWriter& DnsReplyWriter::Flags(std::uint16_t flags) {
  flags_ = flags;
  return *this;
}

DnsReplyWriter& DnsReplyWriter::Mx(const std::string& owner, std::uint16_t preference,
                                   const std::string& host) {
  answers_.push_back({owner, 15, preference, host, {}});
  return *this;
}

DnsReplyWriter& DnsReplyWriter::Cname(const std::string& owner, const std::string& target) {
  answers_.push_back({owner, 5, 0, target, {}});
  return *this;
}

DnsReplyWriter& DnsReplyWriter::Ns(const std::string& owner, const std::string& host,
                                   bool authority) {
  (authority ? authority_ : answers_).push_back({owner, 2, 0, host, {}});
  return *this;
}

DnsReplyWriter& DnsReplyWriter::Raw(const std::string& owner, std::uint16_t type,
                                    std::vector<std::uint8_t> data) {
  answers_.push_back({owner, type, 0, "", std::move(data)});
  return *this;
}

std::vector<std::uint8_t> DnsReplyWriter::Bytes() const {
  std::vector<std::uint8_t> m;
  Put16(m, id_);
  Put16(m, flags_);
  Put16(m, 1);
  Put16(m, static_cast<std::uint16_t>(answers_.size()));
  Put16(m, static_cast<std::uint16_t>(authority_.size()));
  Put16(m, 0);
  std::map<std::string, std::size_t> known;
  PutName(m, known, question_);
  Put16(m, static_cast<std::uint16_t>(type_));
  Put16(m, 1);
  for (const auto* section : {&answers_, &authority_}) {
    for (const Record& r : *section) {
      PutName(m, known, r.owner);
      Put16(m, r.type);
      Put16(m, 1);
      Put16(m, 0);
      Put16(m, 3600);
      const std::size_t lengthAt = m.size();
      Put16(m, 0);
      if (!r.raw.empty()) {
        m.insert(m.end(), r.raw.begin(), r.raw.end());
      } else {
        if (r.type == 15) Put16(m, r.preference);
        PutName(m, known, r.target);
      }
      const std::size_t length = m.size() - lengthAt - 2;
      m[lengthAt] = static_cast<std::uint8_t>(length >> 8);
      m[lengthAt + 1] = static_cast<std::uint8_t>(length);
    }
  }
  return m;
}

std::vector<std::uint8_t> ReplyStart(std::uint16_t id, const std::string& question, DnsType type,
                                     std::uint16_t answers) {
  std::vector<std::uint8_t> m;
  Put16(m, id);
  Put16(m, 0x8180);
  Put16(m, 1);
  Put16(m, answers);
  Put16(m, 0);
  Put16(m, 0);
  std::map<std::string, std::size_t> none;
  PutName(m, none, question);
  Put16(m, static_cast<std::uint16_t>(type));
  Put16(m, 1);
  return m;
}

}  // namespace ostrel::delivery::testing
