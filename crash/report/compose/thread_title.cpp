#include "crash/report/compose/thread_title.h"
#include "crash/base/short_text.h"
#include "crash/base/hex.h"

namespace ostrel {
namespace {

std::u16string Decimal(int value) { return text::SignedDecimal(value); }

}  // namespace

std::u16string ThreadSectionTitle(const ThreadTitleInput& t) {
  const bool service = t.name == u"-" || t.name.rfind(u"Ostrel - ", 0) == 0;
  const bool traced = t.tracing && (t.name == u"Ostrel - AntiFreezeThread" ||
                                    t.name == u"Ostrel - HandleExceptionThread");
  if (service && !t.showsTheException && !traced) return {};
  std::u16string title;
  if (t.name.empty()) {
    title = u"thread $" + HexText16(t.threadId);
    if (!t.className.empty()) title += u" (" + t.className + u")";
  } else {
    title = t.name + u" ($" + HexText16(t.threadId) + u")";
  }
  if (t.innerLevel >= 1) title += u", inner exception level " + Decimal(t.innerLevel);
  title += u":";
  if (t.suspended) title += u" <suspended>";
  if (t.priority != 0) title += u" <priority:" + Decimal(t.priority) + u">";
  return title;
}

}  // namespace ostrel
