// Input streams. A stream holds the whole of its source in memory: a file is
// read when its stream is made, a memory stream copies or adopts a buffer.
// The content is the source from the source offset (setSrcOffset) to its end:
// data() points at its first byte and size() is its length, so after
// setSrcOffset(0) and rewind() the whole source lies behind data(). That memory
// belongs to the stream and may be changed in place (loaders fix byte order
// there); it stays put until the stream is destroyed.
//
// Invariants: 0 <= source offset <= source length, 0 <= position <= size().
// A failed stream (missing or unreadable file, refused buffer) has no source:
// good() is false, size() is 0 and data() is null. Reads never leave the content.
#pragma once

#include <string>
#include <vector>

class KvIStream {
public:
    // The largest source a stream accepts; bigger files and buffers are refused.
    static constexpr long kMaxSourceSize = 256L * 1024 * 1024;

    virtual ~KvIStream() = default;
    KvIStream(const KvIStream&) = delete;
    KvIStream& operator=(const KvIStream&) = delete;

    // Raised by each extra holder of the stream (copies of an animation share
    // one); the holder that finds it at 0 deletes the stream. 0 when made.
    int shareCount = 0;

    bool good() const { return ok; }
    // Bytes of content: the source length minus the source offset.
    long size() const { return static_cast<long>(source.size()) - srcOffset; }
    // Where the content starts within the source. An offset outside 0..source
    // length is refused (false) and changes nothing. The position returns to 0.
    bool setSrcOffset(long offset);
    long getSrcOffset() const { return srcOffset; }
    // Back to the first byte of the content.
    void rewind() { position = 0; }

    // The content, or null when it is empty.
    unsigned char* data() { return size() > 0 ? source.data() + srcOffset : nullptr; }
    const unsigned char* data() const { return size() > 0 ? source.data() + srcOffset : nullptr; }

    // Copies up to count bytes from the position into buffer and moves past
    // them; returns how many were copied (fewer at the end, 0 for a null buffer
    // or a count below 1).
    long read(void* buffer, long count);
    long tell() const { return position; }
    // Moves to pos within the content; false (nothing changes) outside 0..size().
    bool seek(long pos);
    bool atEnd() const { return position >= size(); }

    // The static class name of the concrete stream class (compare pointers or text).
    virtual const char* getClassName() const = 0;

protected:
    KvIStream() = default;
    // Takes bytes as the whole source; a source above kMaxSourceSize fails the stream.
    void adoptSource(std::vector<unsigned char>&& bytes);

private:
    std::vector<unsigned char> source;
    long srcOffset = 0;
    long position = 0;
    bool ok = false;
};

// A file read whole when the stream is made. Only regular files are read.
class KvIStreamFile : public KvIStream {
public:
    static const char* const className;

    explicit KvIStreamFile(const char* fileName);
    const char* getClassName() const override { return className; }
    // The name the stream was made with ("" for a null name).
    const char* getFileName() const { return fileName.c_str(); }

private:
    std::string fileName;
};

// A stream over bytes held in memory.
class KvIStreamMemory : public KvIStream {
public:
    static const char* const className;

    // Copies count bytes from bytes. A negative count, or a null buffer with a
    // positive count, gives a failed stream; a count of 0 an empty, good one.
    KvIStreamMemory(const void* bytes, long count);
    // Adopts the buffer without copying.
    explicit KvIStreamMemory(std::vector<unsigned char>&& bytes);
    const char* getClassName() const override { return className; }
};
