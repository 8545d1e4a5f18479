#include "layout/Archive.h"

#include <QString>
#include <cstring>

namespace {

constexpr std::uint16_t kNewClassTag = 0xFFFF;
constexpr std::uint16_t kClassTag = 0x8000;
constexpr std::uint16_t kBigObjectTag = 0x7FFF;
constexpr std::uint32_t kBigClassTag = 0x80000000u;
constexpr std::size_t kMaxClassName = 63;

} // namespace

void ArchiveWriter::writeByte(std::uint8_t value)
{
    m_bytes.append(static_cast<char>(value));
}

void ArchiveWriter::writeWord(std::uint16_t value)
{
    writeByte(static_cast<std::uint8_t>(value & 0xFF));
    writeByte(static_cast<std::uint8_t>(value >> 8));
}

void ArchiveWriter::writeDword(std::uint32_t value)
{
    writeWord(static_cast<std::uint16_t>(value & 0xFFFF));
    writeWord(static_cast<std::uint16_t>(value >> 16));
}

void ArchiveWriter::writeDouble(double value)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    writeDword(static_cast<std::uint32_t>(bits & 0xFFFFFFFFu));
    writeDword(static_cast<std::uint32_t>(bits >> 32));
}

void ArchiveWriter::writeString(std::string_view text)
{
    const std::size_t length = text.size();
    if (length < 0xFF) {
        writeByte(static_cast<std::uint8_t>(length));
    } else if (length < 0xFFFE) {
        writeByte(0xFF);
        writeWord(static_cast<std::uint16_t>(length));
    } else {
        writeByte(0xFF);
        writeWord(0xFFFF);
        writeDword(static_cast<std::uint32_t>(length));
    }
    m_bytes.append(text.data(), static_cast<qsizetype>(length));
}

void ArchiveWriter::writeCount(std::uint32_t count)
{
    if (count < 0xFFFF) {
        writeWord(static_cast<std::uint16_t>(count));
    } else {
        writeWord(0xFFFF);
        writeDword(count);
    }
}

void ArchiveWriter::writeObjectTag(const std::string& className, std::uint16_t schema)
{
    const auto known = m_classIndex.find(className);
    if (known == m_classIndex.end()) {
        writeWord(kNewClassTag);
        writeWord(schema);
        writeWord(static_cast<std::uint16_t>(className.size()));
        m_bytes.append(className.data(), static_cast<qsizetype>(className.size()));
        m_classIndex.emplace(className, m_nextIndex++);
    } else if (known->second < kBigObjectTag) {
        writeWord(static_cast<std::uint16_t>(kClassTag | known->second));
    } else {
        writeWord(kBigObjectTag);
        writeDword(kBigClassTag | known->second);
    }
    ++m_nextIndex; // the object itself
}

template <class T> std::optional<T> ArchiveReader::fail()
{
    m_failed = true;
    m_position = m_bytes.size();
    return std::nullopt;
}

bool ArchiveReader::take(qsizetype count, const char*& data)
{
    if (m_failed || count < 0 || m_bytes.size() - m_position < count) {
        fail<int>();
        return false;
    }
    data = m_bytes.constData() + m_position;
    m_position += count;
    return true;
}

std::optional<std::uint8_t> ArchiveReader::readByte()
{
    const char* data = nullptr;
    if (!take(1, data))
        return std::nullopt;
    return static_cast<std::uint8_t>(data[0]);
}

std::optional<std::uint16_t> ArchiveReader::readWord()
{
    const char* data = nullptr;
    if (!take(2, data))
        return std::nullopt;
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(data[0]) |
                                      (static_cast<std::uint8_t>(data[1]) << 8));
}

std::optional<std::uint32_t> ArchiveReader::readDword()
{
    const auto low = readWord();
    const auto high = readWord();
    if (!low || !high)
        return std::nullopt;
    return static_cast<std::uint32_t>(*low) | (static_cast<std::uint32_t>(*high) << 16);
}

std::optional<double> ArchiveReader::readDouble()
{
    const auto low = readDword();
    const auto high = readDword();
    if (!low || !high)
        return std::nullopt;
    const std::uint64_t bits = static_cast<std::uint64_t>(*low) | (static_cast<std::uint64_t>(*high) << 32);
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::optional<std::uint32_t> ArchiveReader::readLength()
{
    const auto first = readByte();
    if (!first)
        return std::nullopt;
    if (*first < 0xFF)
        return *first;
    const auto word = readWord();
    if (!word)
        return std::nullopt;
    if (*word == 0xFFFF)
        return readDword();
    return *word;
}

std::optional<std::string> ArchiveReader::readString()
{
    const auto first = readByte();
    if (!first)
        return std::nullopt;
    std::optional<std::uint32_t> length = *first;
    bool wide = false;
    if (*first == 0xFF) {
        const auto word = readWord();
        if (!word)
            return std::nullopt;
        if (*word == 0xFFFE) {
            wide = true;
            length = readLength();
        } else if (*word == 0xFFFF) {
            length = readDword();
        } else {
            length = *word;
        }
    }
    if (!length)
        return std::nullopt;
    // The bytes must be there before anything is allocated for them.
    const std::uint64_t byteCount = static_cast<std::uint64_t>(*length) * (wide ? 2 : 1);
    if (byteCount > remaining())
        return fail<std::string>();
    const char* data = nullptr;
    if (!take(static_cast<qsizetype>(byteCount), data))
        return std::nullopt;
    if (!wide)
        return std::string(data, static_cast<std::size_t>(byteCount));
    QString text;
    text.resize(static_cast<qsizetype>(*length));
    for (std::uint32_t i = 0; i < *length; ++i)
        text[i] = QChar(static_cast<char16_t>(static_cast<std::uint8_t>(data[2 * i]) |
                                              (static_cast<std::uint8_t>(data[2 * i + 1]) << 8)));
    return text.toStdString();
}

std::optional<std::uint32_t> ArchiveReader::readCount()
{
    const auto word = readWord();
    if (!word)
        return std::nullopt;
    if (*word != 0xFFFF)
        return *word;
    return readDword();
}

std::optional<ArchiveReader::ObjectTag> ArchiveReader::readObjectTag()
{
    const auto tag = readWord();
    if (!tag)
        return std::nullopt;
    std::uint32_t classIndex = 0;
    if (*tag == kNewClassTag) {
        const auto schema = readWord();
        const auto nameLength = readWord();
        if (!schema || !nameLength || *nameLength > kMaxClassName)
            return fail<ObjectTag>();
        const char* data = nullptr;
        if (!take(*nameLength, data))
            return std::nullopt;
        ClassRecord record{std::string(data, *nameLength), *schema};
        m_classes.emplace(m_nextIndex++, record);
        return ObjectTag{ObjectTag::Kind::NewObject, std::move(record), m_nextIndex++};
    }
    if (*tag & kClassTag) {
        classIndex = *tag & ~kClassTag;
    } else if (*tag == kBigObjectTag) {
        const auto bigTag = readDword();
        if (!bigTag)
            return std::nullopt;
        if (!(*bigTag & kBigClassTag))
            return reference(*bigTag);
        classIndex = *bigTag & ~kBigClassTag;
    } else {
        return reference(*tag);
    }
    const auto known = m_classes.find(classIndex);
    if (known == m_classes.end())
        return fail<ObjectTag>();
    return ObjectTag{ObjectTag::Kind::NewObject, known->second, m_nextIndex++};
}

std::optional<ArchiveReader::ObjectTag> ArchiveReader::reference(std::uint32_t index)
{
    if (index == 0)
        return ObjectTag{ObjectTag::Kind::Null, {}, 0};
    // Only an index given to an object earlier can be referred to.
    if (index >= m_nextIndex || m_classes.count(index) != 0)
        return fail<ObjectTag>();
    return ObjectTag{ObjectTag::Kind::Reference, {}, index};
}
