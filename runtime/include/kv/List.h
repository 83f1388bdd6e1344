// KvList: the runtime's circular doubly linked list with a sentinel.
//
// The sentinel is created on first use (PushBack, Find, iteration); nodes and the
// sentinel are allocated one by one through KvAllocate, so a node keeps its address
// for its whole life (names point at name-list nodes).
#pragma once

#include <cstdint>
#include <new>

#include "kv/Memory.h"

template <typename T>
class KvList {
 public:
  struct Node {
    T value;
    Node* next;
    Node* previous;
  };

  constexpr KvList() = default;
  KvList(const KvList&) = delete;
  KvList& operator=(const KvList&) = delete;
  ~KvList() { Clear(); }

  // The sentinel, created when the list has none yet.
  Node* Sentinel() {
    if (sentinel_ == nullptr) {
      sentinel_ = static_cast<Node*>(KvAllocate(sizeof(Node)));
      sentinel_->next = sentinel_;
      sentinel_->previous = sentinel_;
    }
    return sentinel_;
  }
  bool HasSentinel() const { return sentinel_ != nullptr; }

  // Appends a node holding `value` at the end; returns it.
  Node* PushBack(const T& value) {
    Node* sentinel = Sentinel();
    auto* node = static_cast<Node*>(KvAllocate(sizeof(Node)));
    new (&node->value) T(value);
    node->previous = sentinel->previous;
    node->next = sentinel;
    sentinel->previous->next = node;
    sentinel->previous = node;
    ++count_;
    return node;
  }

  // The first node from the head whose value equals `value`, else the sentinel.
  Node* Find(const T& value) {
    Node* sentinel = Sentinel();
    for (Node* node = sentinel->next; node != sentinel; node = node->next) {
      if (node->value == value) return node;
    }
    return sentinel;
  }

  // Unlinks and frees `node` (not the sentinel).
  void Remove(Node* node) {
    node->previous->next = node->next;
    node->next->previous = node->previous;
    node->value.~T();
    KvFree(node, sizeof(Node));
    --count_;
  }

  // Removes every node whose value equals `value`.
  void RemoveValue(const T& value) {
    if (sentinel_ == nullptr) return;
    Node* node = sentinel_->next;
    while (node != sentinel_) {
      Node* next = node->next;
      if (node->value == value) Remove(node);
      node = next;
    }
  }

  // Frees every node and the sentinel.
  void Clear() {
    if (sentinel_ == nullptr) return;
    Node* node = sentinel_->next;
    while (node != sentinel_) {
      Node* next = node->next;
      node->value.~T();
      KvFree(node, sizeof(Node));
      node = next;
    }
    KvFree(sentinel_, sizeof(Node));
    sentinel_ = nullptr;
    count_ = 0;
  }

  uint32_t Count() const { return count_; }

  // Iteration from the sentinel's next node back to the sentinel.
  class Iterator {
   public:
    explicit Iterator(Node* node) : node_(node) {}
    T& operator*() const { return node_->value; }
    Iterator& operator++() {
      node_ = node_->next;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return node_ != other.node_; }
    Node* node() const { return node_; }

   private:
    Node* node_;
  };
  Iterator begin() { return Iterator(Sentinel()->next); }
  Iterator end() { return Iterator(Sentinel()); }

 private:
  Node* sentinel_ = nullptr;
  uint32_t count_ = 0;
};
