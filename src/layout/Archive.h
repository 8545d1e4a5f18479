#pragma once

#include <QByteArray>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// The object-archive stream layout files are made of: little-endian values,
// length-prefixed strings, element counts, and object records whose class
// is named once per file and then referred to by index.
class ArchiveWriter
{
public:
    void writeDword(std::uint32_t value);
    void writeWord(std::uint16_t value);
    void writeByte(std::uint8_t value);
    void writeDouble(double value);
    void writeString(std::string_view text);
    void writeCount(std::uint32_t count);
    // The tag of an object record: a new class record the first time a
    // class appears, its index afterwards. The object's fields follow.
    void writeObjectTag(const std::string& className, std::uint16_t schema);

    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
    std::map<std::string, std::uint32_t> m_classIndex;
    std::uint32_t m_nextIndex = 1;
};

// Reads the same stream and never past its end: the first read that does
// not fit, or any malformed construct, puts the reader into the failed
// state; every later read then fails too.
class ArchiveReader
{
public:
    explicit ArchiveReader(const QByteArray& bytes) : m_bytes(bytes) {}

    std::optional<std::uint32_t> readDword();
    std::optional<std::uint16_t> readWord();
    std::optional<std::uint8_t> readByte();
    std::optional<double> readDouble();
    // Narrow strings as their bytes; wide (UTF-16) strings converted to UTF-8.
    std::optional<std::string> readString();
    std::optional<std::uint32_t> readCount();

    struct ClassRecord
    {
        std::string name;
        std::uint16_t schema = 0;
    };
    // The tag of the next object record: a new object of a class (its fields
    // follow; index is the object's own index), a reference to the object
    // that received index earlier, or a null reference.
    struct ObjectTag
    {
        enum class Kind
        {
            NewObject,
            Reference,
            Null,
        };
        Kind kind = Kind::Null;
        ClassRecord record;
        std::uint32_t index = 0;
    };
    std::optional<ObjectTag> readObjectTag();

    bool failed() const { return m_failed; }
    bool atEnd() const { return m_position >= m_bytes.size(); }
    std::size_t remaining() const { return static_cast<std::size_t>(m_bytes.size() - m_position); }

private:
    bool take(qsizetype count, const char*& data);
    std::optional<std::uint32_t> readLength();
    std::optional<ObjectTag> reference(std::uint32_t index);
    template <class T> std::optional<T> fail();

    const QByteArray& m_bytes;
    qsizetype m_position = 0;
    bool m_failed = false;
    std::map<std::uint32_t, ClassRecord> m_classes;
    std::uint32_t m_nextIndex = 1;
};
