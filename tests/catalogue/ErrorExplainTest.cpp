// Explanation containers and their four tables.
#include "catalogue/ErrorExplain.h"

#include <gtest/gtest.h>

namespace {

std::string text(const TExplanationList& list, std::int16_t code) {
  const TErrorCodeExplanation* e = list.FindExplanation(code);
  return e ? e->Explanation : "<none>";
}

TEST(ExplanationList, TablesLoadTheirRowsInOrder) {
  struct Case {
    void (TExplanationList::*load)();
    int count;
    std::int16_t first, last;
  } cases[] = {
      {&TExplanationList::LoadOlderGenerationErrors, 12, 73, 99},
      {&TExplanationList::LoadSingleBranchErrors, 18, 80, 97},
      {&TExplanationList::LoadGeneration3Errors, 33, 73, 1042},
      {&TExplanationList::LoadGeneration3Warnings, 23, 80, 203},
  };
  TExplanationList list;
  list.SetExplanation(5000, "left over");
  for (const Case& c : cases) {
    (list.*c.load)();
    EXPECT_EQ(list.Count(), c.count);
    EXPECT_EQ(list.Items(0)->Code, c.first);
    EXPECT_EQ(list.Items(c.count - 1)->Code, c.last);
    EXPECT_EQ(list.IndexOfCode(5000), -1);
  }
}

TEST(ExplanationList, LookupsPerTable) {
  TExplanationList older, single, errors, warnings;
  older.LoadOlderGenerationErrors();
  single.LoadSingleBranchErrors();
  errors.LoadGeneration3Errors();
  warnings.LoadGeneration3Warnings();
  struct Case {
    const TExplanationList* list;
    std::int16_t code;
    const char* text;
  } cases[] = {
      {&errors, 1042, "Laser has not been warmed up."},
      {&errors, 86, "<none>"},  // only a warning on this generation
      {&errors, 89, "<none>"},
      {&errors, 90, "<none>"},
      {&errors, 97, "<none>"},
      {&errors, 170, "<none>"},
      {&errors, 73, "Flow rate of cooling water is out of working range."},
      {&errors, 102,
       "Cannot establish communication with laser head. Please check the connection between "
       "Laser head and power supply. After that restart the power supply."},
      {&errors, 103, "Start button is not pressed or emerency stop is engaged."},
      {&warnings, 86, "Oven temperature is unstable (warming up)."},
      {&warnings, 170, "Seeder pulse missing."},
      {&warnings, 203, "SN of power supply and laser head are different."},
      {&single, 73, "<none>"},
      {&single, 91, "(QM)Shutter hangs. (K4)Door is open."},
      {&single, 93, "(QM)Interlock (safety loops) is open. (K4)LD current is too high."},
      {&older, 73, "Flow rate of cooling water is out of working range"},  // no full stop
      {&older, 94, "Chiller error, sum error signal (low flow rate, water temperature)."},
  };
  for (const Case& c : cases) EXPECT_EQ(text(*c.list, c.code), c.text) << c.code;
}

TEST(ExplanationList, SetExplanationReplacesInPlace) {
  TExplanationList list;
  EXPECT_EQ(list.SetExplanation(1, "a"), 0);
  EXPECT_EQ(list.SetExplanation(2, "b"), 1);
  EXPECT_EQ(list.SetExplanation(3, "c"), 2);
  EXPECT_EQ(list.SetExplanation(1, "A"), 0);
  EXPECT_EQ(list.SetExplanation(3, "C"), 2);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(text(list, 1), "A");
  EXPECT_EQ(text(list, 3), "C");
  EXPECT_EQ(list.Items(-1), nullptr);
  EXPECT_EQ(list.Items(3), nullptr);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.FindExplanation(1), nullptr);
}

}  // namespace
