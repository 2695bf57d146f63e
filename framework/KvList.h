// A non-owning doubly linked list of T*.
// Invariant: every live Cursor over a list is registered with it, and
// remove() moves any cursor standing on (or about to step onto) the removed
// node, so a walk survives the removal of its current node and of any other
// node, in nested walks too. A pointer may be held more than once; remove()
// takes out the first occurrence.
#pragma once

#include <cstddef>

template <class T>
class KvList {
    struct Node {
        T* item;
        Node* prev;
        Node* next;
    };

public:
    // Ordering for insert(): the new item goes before the first existing item
    // for which before(existing, added) is false, i.e. after every item that
    // must stay below it.
    using Predicate = bool (*)(const T* existing, const T* added);

    class Cursor {
    public:
        explicit Cursor(const KvList& l) : list(&l) { link(); }
        Cursor(const Cursor&) = delete;
        Cursor& operator=(const Cursor&) = delete;
        ~Cursor() { unlink(); }

        T* first() { return land(list->head); }
        T* last() { return land(list->tail); }
        // The item after (before) the one the cursor stands on. After the current
        // node was removed, the item that followed (preceded) it.
        T* next() { return land(cur ? cur->next : (detached ? after : nullptr)); }
        T* prev() { return land(cur ? cur->prev : (detached ? before : nullptr)); }
        T* current() const { return cur ? cur->item : nullptr; }

    private:
        friend class KvList;
        T* land(Node* n) {
            cur = n;
            detached = false;
            after = before = nullptr;
            left = nullptr;
            return n ? n->item : nullptr;
        }
        void link() {
            nextCursor = list->cursors;
            list->cursors = this;
        }
        void unlink() {
            for (Cursor** c = &list->cursors; *c; c = &(*c)->nextCursor)
                if (*c == this) {
                    *c = nextCursor;
                    return;
                }
        }
        // Called by the list before node n is unlinked.
        void forget(Node* n) {
            if (cur == n) {
                cur = nullptr;
                detached = true;
                after = n->next;
                before = n->prev;
                left = n->item;
            } else if (detached) {
                if (after == n) after = n->next;
                if (before == n) before = n->prev;
            }
        }

        const KvList* list;
        Cursor* nextCursor = nullptr;
        Node* cur = nullptr;
        bool detached = false;
        Node* after = nullptr;
        Node* before = nullptr;
        const T* left = nullptr;  // the item of the removed current node
    };

    KvList() = default;
    explicit KvList(Predicate p) : before(p) {}
    KvList(const KvList&) = delete;
    KvList& operator=(const KvList&) = delete;
    ~KvList() { clear(); }

    void setPredicate(Predicate p) { before = p; }

    void append(T* item) { insertBefore(nullptr, item); }
    void prepend(T* item) { insertBefore(head, item); }
    // Ordered insertion by the predicate; without one, append.
    void insert(T* item) {
        Node* n = head;
        if (before)
            while (n && before(n->item, item)) n = n->next;
        else
            n = nullptr;
        insertBefore(n, item);
    }
    // Returns whether item was in the list.
    bool remove(const T* item) {
        for (Node* n = head; n; n = n->next)
            if (n->item == item) {
                erase(n);
                return true;
            }
        return false;
    }
    void clear() {
        while (head) erase(head);
    }

    bool contains(const T* item) const { return indexOf(item) >= 0; }
    // 0-based position from the head, or -1.
    int indexOf(const T* item) const {
        int i = 0;
        for (Node* n = head; n; n = n->next, ++i)
            if (n->item == item) return i;
        return -1;
    }
    int count() const { return size; }
    bool isEmpty() const { return size == 0; }
    T* first() const { return head ? head->item : nullptr; }
    T* last() const { return tail ? tail->item : nullptr; }
    T* at(int index) const {
        if (index < 0) return nullptr;
        Node* n = head;
        while (n && index-- > 0) n = n->next;
        return index < 0 && n ? n->item : nullptr;
    }

private:
    void insertBefore(Node* pos, T* item) {
        Node* n = new Node{item, pos ? pos->prev : tail, pos};
        (n->prev ? n->prev->next : head) = n;
        (pos ? pos->prev : tail) = n;
        ++size;
        // A cursor parked between two nodes after a removal must see the new node,
        // unless it is the item the cursor has just left being put back into the
        // gap (a re-sort): the walk has already visited it.
        for (Cursor* c = cursors; c; c = c->nextCursor)
            if (c->detached && c->left != item) {
                if (c->after == pos && c->before == n->prev) c->after = n;
            }
    }
    void erase(Node* n) {
        for (Cursor* c = cursors; c; c = c->nextCursor) c->forget(n);
        (n->prev ? n->prev->next : head) = n->next;
        (n->next ? n->next->prev : tail) = n->prev;
        --size;
        delete n;
    }

    Node* head = nullptr;
    Node* tail = nullptr;
    int size = 0;
    Predicate before = nullptr;
    mutable Cursor* cursors = nullptr;
};
