// A host's handle on a heap entry that holds (or will hold) an object: the
// entry's heap index, -1 for none. Indices never change while the heap is
// alive, so a handle stays valid until the heap is killed.
#pragma once

class KvSobHandle {
public:
    explicit KvSobHandle(int heapIndex = -1) : index(heapIndex) {}
    int getIndex() const { return index; }
    bool isValid() const { return index >= 0; }
    bool operator==(const KvSobHandle& other) const { return index == other.index; }

private:
    int index;
};
