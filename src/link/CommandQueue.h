// The laser's command queue (texts waiting to be sent, the head one in flight) and the circular
// background list the poller hands out round-robin. Neither has a lock of its own: the laser
// guards the queue with its QueueLock and the poller guards its list with its own lock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// One queued command.
struct TStrQueueNode {
  std::int32_t Index = -1;  // catalogue index of the command's entry, -1 when unknown
  std::string CmdStr;       // as sent, without line terminator, at most 255 characters
  std::uint8_t Sent = 0;    // set to 1 by the writer once written to the port
  std::unique_ptr<TStrQueueNode> Next;
};

// First-in, first-out queue of command texts. Texts are trimmed of codes below 33 and cut to 255
// characters; a text that is empty after trimming is not queued.
class TStrQueue {
 public:
  using TNotifyEvent = std::function<void(TStrQueue& sender)>;

  TStrQueue() = default;
  ~TStrQueue();
  TStrQueue(const TStrQueue&) = delete;
  TStrQueue& operator=(const TStrQueue&) = delete;

  void Push(const std::string& cmdStr, std::int32_t index);       // at the tail
  void PushFront(const std::string& cmdStr, std::int32_t index);  // before the head
  TStrQueueNode* Peek() const { return Head.get(); }              // stays queued; null if empty
  void Pop();                                                     // frees the head
  // Removes the first node with this index among positions 0..depth; nothing otherwise.
  void Remove(std::int32_t index, int depth);
  void Clear();  // does not fire OnChange

  std::int32_t Count = 0;
  std::unique_ptr<TStrQueueNode> Head;
  TStrQueueNode* Tail = nullptr;  // the last node, null when empty
  TNotifyEvent OnChange;          // after every Push, PushFront, Pop and effective Remove

 private:
  void changed();
};

// One background read: an all-zero item is an empty text with index 0.
struct TLaserCommandItem {
  std::string CmdStr;
  std::int32_t Index = 0;
  bool operator==(const TLaserCommandItem&) const = default;
};

// A list handed out round-robin and never consumed.
template <typename T>
class TCircularQueue {
 public:
  void Add(const T& item) { items_.push_back(item); }
  // Copies the item at Position into item and advances (wrapping); returns the new Position.
  // An empty list yields the all-zero item and 0.
  int Next(T& item) {
    if (items_.empty()) {
      item = T{};
      return 0;
    }
    if (Position < 0 || Position >= Count()) Position = 0;
    item = items_[static_cast<std::size_t>(Position)];
    ++Position;
    if (Position >= Count()) Position = 0;
    return Position;
  }
  void Clear() {
    items_.clear();
    Position = 0;
  }
  int Count() const { return static_cast<int>(items_.size()); }
  const T& operator[](int i) const { return items_.at(static_cast<std::size_t>(i)); }

  std::int32_t Position = 0;  // read cursor

 private:
  std::vector<T> items_;
};
