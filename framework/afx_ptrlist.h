// CPtrList: an ordered, doubly linked list of untyped pointers whose nodes
// are allocated in blocks. It never owns what the pointers point at.
#pragma once
#include <cstddef>
#include <memory>
#include <vector>

struct __POSITION {};
using POSITION = __POSITION*;

class CPtrList {
public:
    explicit CPtrList(int blockSize = 10) : m_blockSize(blockSize > 0 ? blockSize : 10) {}
    CPtrList(const CPtrList&) = delete;
    CPtrList& operator=(const CPtrList&) = delete;

    POSITION AddTail(void* item);
    POSITION AddHead(void* item);
    void RemoveAll();
    void RemoveAt(POSITION position);
    int GetCount() const { return m_count; }
    bool IsEmpty() const { return m_count == 0; }
    POSITION GetHeadPosition() const { return AsPosition(m_head); }
    // Returns the item at position and moves position to the next node
    // (NULL after the last one).
    void*& GetNext(POSITION& position) const;
    POSITION Find(void* item) const;

private:
    struct Node {
        Node* next = nullptr;
        Node* prev = nullptr;
        void* data = nullptr;
    };
    static POSITION AsPosition(Node* node) { return reinterpret_cast<POSITION>(node); }
    static Node* AsNode(POSITION position) { return reinterpret_cast<Node*>(position); }
    Node* NewNode();
    void FreeNode(Node* node);

    int m_blockSize;
    int m_count = 0;
    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    Node* m_free = nullptr;
    std::vector<std::unique_ptr<Node[]>> m_blocks;
};
