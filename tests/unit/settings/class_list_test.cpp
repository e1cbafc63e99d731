#include "crash/settings/class_list.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace app {
struct Exception : std::exception {};
struct EDatabaseError : Exception {};
struct EDBEditError : EDatabaseError {};
struct Tagged {
  virtual ~Tagged() = default;
};
// Several bases: the walk must look at each one.
struct EMixed : Tagged, EDBEditError {};
struct EOstrelInternal : std::exception {};
}  // namespace app

namespace ostrel {
namespace {

TEST(ClassList, MatchesTheClassOrAnyAncestor) {
  const std::type_info& t = typeid(app::EDBEditError);
  EXPECT_TRUE(MatchesClassList(t, u"EDBEditError"));
  EXPECT_TRUE(MatchesClassList(t, u"EDatabaseError"));
  EXPECT_TRUE(MatchesClassList(t, u"std::exception"));
  EXPECT_TRUE(MatchesClassList(t, u"app::Exception"));
  EXPECT_FALSE(MatchesClassList(typeid(app::EDatabaseError), u"EDBEditError"));
  EXPECT_FALSE(MatchesClassList(t, u"edbediterror"));
  EXPECT_FALSE(MatchesClassList(t, u""));
}

TEST(ClassList, ListIsNormalisedBeforeSplitting) {
  const std::type_info& t = typeid(app::EDBEditError);
  EXPECT_TRUE(MatchesClassList(t, u"  EAbort ,  EDBEditError  "));
  EXPECT_TRUE(MatchesClassList(t, u"EAbort,,EDatabaseError,"));
  EXPECT_FALSE(MatchesClassList(t, u"EDB EditError"));
  EXPECT_EQ(NormaliseClassList(u" A , B,C ,, "), (std::vector<std::string>{"A", "B", "C"}));
}

TEST(ClassList, WalksEveryBaseOfMultipleInheritance) {
  const std::type_info& t = typeid(app::EMixed);
  EXPECT_TRUE(MatchesClassList(t, u"Tagged"));
  EXPECT_TRUE(MatchesClassList(t, u"EDBEditError"));
  const auto chain = ClassAncestry(t);
  EXPECT_EQ(chain.front(), "app::EMixed");
}

TEST(ClassList, ObjectsMatchByTheirDynamicClass) {
  const app::EDBEditError thrown;
  const std::exception& caught = thrown;
  EXPECT_TRUE(MatchesObjectClassList(caught, u"EDBEditError"));
  EXPECT_FALSE(MatchesObjectClassList(std::runtime_error("x"), u"EDBEditError"));
}

TEST(ClassList, ReporterClassCountsAsTheBaseExceptionClass) {
  const std::type_info& t = typeid(app::EOstrelInternal);
  EXPECT_FALSE(MatchesClassList(t, u"Exception"));
  EXPECT_TRUE(MatchesClassList(t, u"Exception", &typeid(app::EOstrelInternal)));
}

}  // namespace
}  // namespace ostrel
