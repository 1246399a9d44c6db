// The command queue's normalisation and its Remove rule, and the round-robin background list.
#include "link/CommandQueue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Queue : testing::Test {
  TStrQueue queue;
  int changes = 0;
  void SetUp() override {
    queue.OnChange = [this](TStrQueue& sender) {
      EXPECT_EQ(&sender, &queue);
      ++changes;
    };
  }
  // "text#index" per node from head to tail; also checks Count and Tail against the links.
  std::string contents() {
    std::string out;
    int n = 0;
    const TStrQueueNode* last = nullptr;
    for (const TStrQueueNode* node = queue.Head.get(); node; node = node->Next.get()) {
      out += (out.empty() ? "" : " ") + node->CmdStr + "#" + std::to_string(node->Index);
      last = node;
      ++n;
    }
    EXPECT_EQ(queue.Count, n);
    EXPECT_EQ(queue.Tail, last);
    return out;
  }
};

TEST_F(Queue, PushTrimsAndSkipsEmptyTexts) {
  for (const char* blank : {"", "   ", "\r\n", " \t\r"}) queue.Push(blank, 1);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(contents(), "");
  queue.Push("  r61\r", 7);
  queue.Push("w61 12.50", 8);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(contents(), "r61#7 w61 12.50#8");
  EXPECT_EQ(queue.Peek()->Sent, 0);
  queue.Push(std::string(300, 'x'), -1);
  EXPECT_EQ(queue.Tail->CmdStr.size(), 255u);
}

TEST_F(Queue, PushFrontAndPop) {
  queue.PushFront("r60", 1);  // into an empty queue: head and tail
  EXPECT_EQ(contents(), "r60#1");
  queue.Push("r61", 2);
  queue.PushFront(" r99 ", 3);
  EXPECT_EQ(contents(), "r99#3 r60#1 r61#2");
  queue.Pop();
  queue.Pop();
  EXPECT_EQ(contents(), "r61#2");
  queue.Pop();
  EXPECT_EQ(contents(), "");
  EXPECT_EQ(queue.Peek(), nullptr);
  int before = changes;
  queue.Pop();  // nothing to pop: no notification
  EXPECT_EQ(changes, before);
  queue.Push("r62", 4);
  EXPECT_EQ(contents(), "r62#4");
}

TEST_F(Queue, RemoveLooksOnlyWithinTheDepth) {
  struct Case {
    int index;
    const char* after;
    int changes;
  } cases[] = {
      {1, "b#2 c#3", 1},      // position 0
      {2, "a#1 c#3", 1},      // position 1
      {3, "a#1 b#2 c#3", 0},  // position 2: beyond depth 1
      {9, "a#1 b#2 c#3", 0},
  };
  for (const Case& c : cases) {
    queue.Clear();
    for (int i = 1; i <= 3; ++i) queue.Push(std::string(1, static_cast<char>('a' + i - 1)), i);
    changes = 0;
    queue.Remove(c.index, 1);
    EXPECT_EQ(contents(), c.after) << c.index;
    EXPECT_EQ(changes, c.changes) << c.index;
  }
}

TEST_F(Queue, RemovingTheLastNodeKeepsTheTailRight) {
  queue.Push("WAIT 50", 5);
  queue.Push("r61", 6);
  queue.Remove(6, 1);
  queue.Push("r62", 7);
  EXPECT_EQ(contents(), "WAIT 50#5 r62#7");
  queue.Remove(5, 1);
  queue.Remove(7, 0);
  EXPECT_EQ(contents(), "");
  queue.Push("r63", 8);
  EXPECT_EQ(contents(), "r63#8");
}

TEST_F(Queue, ClearDoesNotNotifyAndCopesWithLongQueues) {
  for (int i = 0; i < 100000; ++i) queue.Push("r60", i);
  changes = 0;
  queue.Clear();
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(contents(), "");
}

TEST(CircularQueue, HandsOutRoundRobin) {
  TCircularQueue<TLaserCommandItem> list;
  TLaserCommandItem item{"junk", 5};
  EXPECT_EQ(list.Next(item), 0);
  EXPECT_EQ(item, TLaserCommandItem{});  // the all-zero item: empty text, index 0

  for (int i = 0; i < 3; ++i) list.Add({"r6" + std::to_string(i), i});
  std::vector<std::string> got;
  std::vector<int> results;
  for (int i = 0; i < 5; ++i) {
    results.push_back(list.Next(item));
    got.push_back(item.CmdStr);
  }
  EXPECT_EQ(got, (std::vector<std::string>{"r60", "r61", "r62", "r60", "r61"}));
  EXPECT_EQ(results, (std::vector<int>{1, 2, 0, 1, 2}));

  list.Position = 7;  // a stale cursor starts over
  list.Next(item);
  EXPECT_EQ(item.CmdStr, "r60");

  list.Clear();
  EXPECT_EQ(list.Position, 0);
  list.Add({"r99", 9});
  list.Add({"r60", 1});
  list.Next(item);
  EXPECT_EQ(item.CmdStr, "r99");
}

}  // namespace
