#pragma once
// What the trackers' tests share: a scripted server below the tracker's
// path, the progress it records, an account, and the sample entry
// submitted to it.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "crash/ui/upload/http_client.h"
#include "crash/ui/upload/tracker_entry.h"
#include "tests/unit/upload/recorded_progress.h"
#include "tests/unit/upload/sample_entry.h"
#include "tests/unit/upload/scripted_exchange.h"

namespace ostrel::upload::test {

class TrackerTest : public ::testing::Test {
 protected:
  TrackerTest(std::u16string path, TrackerAccount account)
      : account(std::move(account)), path_(std::move(path)) {}

  // The tracker's submission of the sample entry.
  virtual SubmissionResult SubmitTo(HttpClient& http, const TrackerAccount& as) = 0;

  SubmissionResult Submit() { return Submit(exchange, account); }
  SubmissionResult Submit(ScriptedExchange& x, const TrackerAccount& as) {
    HttpClient http(x, ParseServerAddress(u"h" + path_, 80, false), {});
    return SubmitTo(http, as);
  }

  ScriptedExchange exchange;
  RecordedProgress progress;
  TrackerAccount account;

 private:
  std::u16string path_;
};

}  // namespace ostrel::upload::test
