#pragma once
// At the program's start: the reports an earlier run could not deliver are
// offered again, once each (KeepUnsent).

namespace ostrel::rt {

void OfferUnsentReports();

}  // namespace ostrel::rt
