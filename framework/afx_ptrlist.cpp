#include "framework/afx_ptrlist.h"

CPtrList::Node* CPtrList::NewNode() {
    if (!m_free) {
        m_blocks.push_back(std::make_unique<Node[]>(static_cast<size_t>(m_blockSize)));
        Node* block = m_blocks.back().get();
        for (int i = m_blockSize - 1; i >= 0; --i) {
            block[i].next = m_free;
            m_free = &block[i];
        }
    }
    Node* node = m_free;
    m_free = node->next;
    *node = Node{};
    return node;
}

void CPtrList::FreeNode(Node* node) {
    node->next = m_free;
    m_free = node;
    --m_count;
}

POSITION CPtrList::AddTail(void* item) {
    Node* node = NewNode();
    node->data = item;
    node->prev = m_tail;
    (m_tail ? m_tail->next : m_head) = node;
    m_tail = node;
    ++m_count;
    return AsPosition(node);
}

POSITION CPtrList::AddHead(void* item) {
    Node* node = NewNode();
    node->data = item;
    node->next = m_head;
    (m_head ? m_head->prev : m_tail) = node;
    m_head = node;
    ++m_count;
    return AsPosition(node);
}

void CPtrList::RemoveAt(POSITION position) {
    Node* node = AsNode(position);
    if (!node)
        return;
    (node->prev ? node->prev->next : m_head) = node->next;
    (node->next ? node->next->prev : m_tail) = node->prev;
    FreeNode(node);
}

void CPtrList::RemoveAll() {
    m_blocks.clear();
    m_head = m_tail = m_free = nullptr;
    m_count = 0;
}

void*& CPtrList::GetNext(POSITION& position) const {
    Node* node = AsNode(position);
    position = AsPosition(node->next);
    return node->data;
}

void*& CPtrList::GetPrev(POSITION& position) const {
    Node* node = AsNode(position);
    position = AsPosition(node->prev);
    return node->data;
}

void*& CPtrList::GetAt(POSITION position) const {
    return AsNode(position)->data;
}

POSITION CPtrList::Find(void* item) const {
    for (Node* node = m_head; node; node = node->next)
        if (node->data == item)
            return AsPosition(node);
    return nullptr;
}
