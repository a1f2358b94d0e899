// A doubly linked list of records that carry their own links: putting a record
// in or taking it out allocates nothing, and a record is taken out from
// wherever it stands in constant time. A record type derives from ListNode<T>
// once per list it can be in at the same time; the list does not own records.
#pragma once

namespace kernel {

template <class T>
class IntrusiveList;

template <class T>
class ListNode {
private:
    friend class IntrusiveList<T>;
    T* m_prev = nullptr;
    T* m_next = nullptr;
};

template <class T>
class IntrusiveList {
public:
    IntrusiveList() = default;
    IntrusiveList(const IntrusiveList&) = delete;
    IntrusiveList& operator=(const IntrusiveList&) = delete;

    bool Empty() const { return m_first == nullptr; }
    T* Front() const { return m_first; }

    void PushBack(T& item) {
        Node(item).m_prev = m_last;
        Node(item).m_next = nullptr;
        (m_last ? Node(*m_last).m_next : m_first) = &item;
        m_last = &item;
    }

    void PushFront(T& item) {
        Node(item).m_prev = nullptr;
        Node(item).m_next = m_first;
        (m_first ? Node(*m_first).m_prev : m_last) = &item;
        m_first = &item;
    }

    // item must be in this list.
    void Remove(T& item) {
        ListNode<T>& node = Node(item);
        (node.m_prev ? Node(*node.m_prev).m_next : m_first) = node.m_next;
        (node.m_next ? Node(*node.m_next).m_prev : m_last) = node.m_prev;
        node.m_prev = node.m_next = nullptr;
    }

    // The first record, taken out; null when the list is empty.
    T* PopFront() {
        T* first = m_first;
        if (first) Remove(*first);
        return first;
    }

    // Calls each(T*) for every record, front to back; each must not take records out.
    template <class F>
    void ForEach(F each) const {
        for (T* item = m_first; item; item = Node(*item).m_next) each(item);
    }

private:
    static ListNode<T>& Node(T& item) { return item; }

    T* m_first = nullptr;
    T* m_last = nullptr;
};

}  // namespace kernel
