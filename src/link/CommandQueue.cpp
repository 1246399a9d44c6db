#include "link/CommandQueue.h"

#include "catalogue/LaserCommand.h"

namespace {

// Trimmed of codes below 33 and cut to the 255 characters a command text can hold.
std::string normalise(const std::string& text) {
  std::string result = TrimCommandText(text);
  if (result.size() > kMaxCommandText) result.resize(kMaxCommandText);
  return result;
}

std::unique_ptr<TStrQueueNode> makeNode(std::string cmdStr, std::int32_t index) {
  auto node = std::make_unique<TStrQueueNode>();
  node->Index = index;
  node->CmdStr = std::move(cmdStr);
  return node;
}

}  // namespace

TStrQueue::~TStrQueue() {
  Clear();
}

void TStrQueue::changed() {
  if (OnChange) OnChange(*this);
}

void TStrQueue::Push(const std::string& cmdStr, std::int32_t index) {
  std::string text = normalise(cmdStr);
  if (text.empty()) return;
  auto node = makeNode(std::move(text), index);
  TStrQueueNode* last = node.get();
  if (Tail)
    Tail->Next = std::move(node);
  else
    Head = std::move(node);
  Tail = last;
  ++Count;
  changed();
}

void TStrQueue::PushFront(const std::string& cmdStr, std::int32_t index) {
  std::string text = normalise(cmdStr);
  if (text.empty()) return;
  auto node = makeNode(std::move(text), index);
  node->Next = std::move(Head);
  Head = std::move(node);
  if (!Tail) Tail = Head.get();
  ++Count;
  changed();
}

void TStrQueue::Pop() {
  if (!Head) return;
  Head = std::move(Head->Next);
  if (!Head) Tail = nullptr;
  --Count;
  changed();
}

void TStrQueue::Remove(std::int32_t index, int depth) {
  TStrQueueNode* previous = nullptr;
  TStrQueueNode* node = Head.get();
  for (int position = 0; node && position <= depth; ++position) {
    if (node->Index == index) {
      std::unique_ptr<TStrQueueNode>& link = previous ? previous->Next : Head;
      link = std::move(node->Next);  // frees node
      if (Tail == node) Tail = previous;
      --Count;
      changed();
      return;
    }
    previous = node;
    node = node->Next.get();
  }
}

void TStrQueue::Clear() {
  // Unlinks one node at a time so a long queue is not freed by deep recursion.
  while (Head) Head = std::move(Head->Next);
  Tail = nullptr;
  Count = 0;
}
