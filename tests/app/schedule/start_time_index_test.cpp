#include "app/schedule/start_time_index.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace belvane {
namespace {

int NaiveFirstRow(const std::vector<std::string>& rows, const std::string& text) {
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (rows[r] == text) return static_cast<int>(r);
  }
  return -1;
}

std::vector<TextValue> Texts(std::initializer_list<const char*> texts) {
  return std::vector<TextValue>(texts.begin(), texts.end());
}

TEST(StartTimeIndexTest, SameTimeTwiceStartsTheUpperRow) {
  StartTimeIndex index;
  const auto rows = Texts({"07:00:00", "08:30:00", "08:30:00", "09:00:00"});
  index.Load(rows);
  EXPECT_EQ(index.FirstRowAt("08:30:00"), 1);
  const ClockPlan plan = PlanCycle(30599, 30600, index);
  EXPECT_EQ(plan.start_row, 1);

  index.Erase(1);  // the lower duplicate takes over, now one row up
  EXPECT_EQ(index.FirstRowAt("08:30:00"), 1);
  index.Insert(0, "08:30:00");  // a new upper one
  EXPECT_EQ(index.FirstRowAt("08:30:00"), 0);
  index.Erase(2);
  index.Erase(0);
  EXPECT_EQ(index.FirstRowAt("08:30:00"), -1);
}

TEST(StartTimeIndexTest, TextsMatchByteForByteOnly) {
  StartTimeIndex index;
  index.Load(Texts({"8:30:00", "08:30:00 ", "\xB0\xCB:30:00", ""}));
  EXPECT_EQ(index.FirstRowAt("8:30:00"), 0);  // found by its own text...
  for (int last : {kNoSecondChecked, 30599, 30590}) {
    EXPECT_EQ(PlanCycle(last, 30600, index).start_row, -1);  // ...never by the clock's
  }
  EXPECT_EQ(index.FirstRowAt("08:30:00"), -1);
  EXPECT_EQ(index.FirstRowAt(""), 3);
}

TEST(StartTimeIndexTest, InsertAndEraseOutsideTheRowsBehaveLikeTheListView) {
  StartTimeIndex index;
  EXPECT_EQ(index.Insert(5, "01:00:00"), 0);  // beyond the end appends
  EXPECT_EQ(index.Insert(-1, "02:00:00"), 1);
  EXPECT_FALSE(index.Erase(2));
  EXPECT_FALSE(index.Erase(-1));
  EXPECT_EQ(index.RowCount(), 2);
  EXPECT_EQ(index.TextAt(1), "02:00:00");
  EXPECT_EQ(index.TextAt(2), "");
  index.Clear();
  EXPECT_EQ(index.RowCount(), 0);
  EXPECT_EQ(index.FirstRowAt("01:00:00"), -1);
}

// Random loads, clears, inserts and deletes over a small set of texts (so duplicates are common),
// checked after every step against a plain vector searched from the top.
TEST(StartTimeIndexTest, StaysInStepWithTheRowsUnderRandomEdits) {
  std::mt19937 random(20261207);
  std::vector<std::string> pool;
  for (int i = 0; i < 12; ++i) pool.push_back(ClockText(28800 + i));
  pool.push_back("8:00:00");
  auto pick = [&] { return pool[random() % pool.size()]; };

  StartTimeIndex index;
  std::vector<std::string> model;
  for (int step = 0; step < 4000; ++step) {
    const int what = static_cast<int>(random() % 100);
    const int size = static_cast<int>(model.size());
    if (what < 2) {
      std::vector<TextValue> texts;
      model.clear();
      for (int n = static_cast<int>(random() % 30); n > 0; --n) {
        model.push_back(pick());
        texts.emplace_back(model.back());
      }
      index.Load(texts);
    } else if (what < 3) {
      model.clear();
      index.Clear();
    } else if (what < 60) {
      const int row = static_cast<int>(random() % (size + 1));
      const std::string text = pick();
      model.insert(model.begin() + row, text);
      ASSERT_EQ(index.Insert(row, text), row);
    } else {
      if (size == 0) continue;
      const int row = static_cast<int>(random() % size);
      model.erase(model.begin() + row);
      ASSERT_TRUE(index.Erase(row));
    }
    ASSERT_EQ(index.RowCount(), static_cast<int>(model.size())) << "step " << step;
    for (const std::string& text : pool) {
      ASSERT_EQ(index.FirstRowAt(text), NaiveFirstRow(model, text))
          << "step " << step << " text " << text;
    }
    for (std::size_t r = 0; r < model.size(); ++r) ASSERT_EQ(index.TextAt(r), model[r]);
  }
}

TEST(StartTimeIndexTest, FullDayLoadFindsEverySecond) {
  std::vector<TextValue> day;
  for (int s = 0; s < kSecondsPerDay; ++s) day.emplace_back(ClockText(s));
  StartTimeIndex index;
  index.Load(day);
  for (int s = 0; s < kSecondsPerDay; s += 997) EXPECT_EQ(index.FirstRowAt(ClockText(s)), s);
  index.Erase(0);
  EXPECT_EQ(index.FirstRowAt("23:59:59"), kSecondsPerDay - 2);
  index.Insert(0, "00:00:00");
  EXPECT_EQ(index.FirstRowAt("23:59:59"), kSecondsPerDay - 1);
}

}  // namespace
}  // namespace belvane
