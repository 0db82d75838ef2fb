// The container form of the rule database: a file of named entries, each carrying one JSON
// text, so the suite can ship its database as one checked file and fix single entries.
//
// Container format, version 1. All integers are little-endian; nothing is padded.
//
//   File header, 16 bytes
//     0   4  magic "WHRC"
//     4   2  format version, 1
//     6   2  header flags, 0 (reserved)
//     8   4  number of entries
//     12  4  CRC-32 (zlib polynomial) of header bytes 0..11
//
//   Entries follow the header back to back and end exactly at the end of the file.
//   Entry record (the layout the rule reader relies on starts at offset 8):
//     0   4  entry signature "ENTR"
//     4   4  CRC-32 of the record's bytes from offset 12 to its end (name length, name,
//            NUL, payload), so a damaged entry is refused instead of misread
//     8   4  low 26 bits (mask 0x3ffffff): total length of the record from its first byte
//            to the end of the payload; the upper 6 bits are reserved, written 0, ignored
//     12  1  n, signed: length of the entry name in bytes, 0 (unnamed) to 127
//     13  n  entry name, UTF-8, without NUL bytes
//     13+n 1 NUL
//     14+n   payload: the entry's JSON text, UTF-8, not NUL-terminated; total - 14 - n bytes
//
// A file whose first four bytes are the magic probes as a container (kContainerFormatId)
// whether or not the rest is sound; opening the entry view then checks every length,
// terminator and checksum against the file's real size before a single entry is handed
// out, and refuses the whole file on the first inconsistency. Anything else probes as
// plain text and is read through the positional reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Handles.h"

namespace winhush::rules {

inline constexpr uint32_t kContainerFormatId = 0x20ffff;
inline constexpr uint32_t kPlainFormatId = 0x000001;

inline constexpr char kContainerMagic[4] = {'W', 'H', 'R', 'C'};
inline constexpr char kEntrySignature[4] = {'E', 'N', 'T', 'R'};
inline constexpr uint16_t kContainerVersion = 1;
inline constexpr size_t kContainerHeaderSize = 16;
inline constexpr size_t kEntryFixedSize = 14;  // record bytes besides name and payload
inline constexpr uint32_t kEntryLengthMask = 0x3ffffff;
inline constexpr size_t kMaxEntryNameBytes = 127;
// Whole containers are read into memory; the database is a few megabytes, so a file
// beyond this is damage or a wrong file, never a database.
inline constexpr uint64_t kMaxContainerBytes = 256ull * 1024 * 1024;

// One entry record as it lies in the view's memory. Only valid while its view lives.
class ContainerEntry {
public:
    explicit ContainerEntry(const uint8_t* record) : record_(record) {}
    const uint8_t* data() const { return record_; }
    uint32_t totalLength() const;
    int8_t nameLength() const { return static_cast<int8_t>(record_[12]); }
    std::string_view name() const;
    std::string_view payload() const;

private:
    const uint8_t* record_;
};

// The checked entry list of one container file.
class ContainerView {
public:
    // The first entry, or nullopt when the container has none.
    std::optional<ContainerEntry> First() const;
    // The entry after current, or nullopt after the last.
    std::optional<ContainerEntry> Next(const ContainerEntry& current) const;
    size_t size() const { return offsets_.size(); }

private:
    friend class RuleStorage;
    std::vector<uint8_t> bytes_;
    std::vector<size_t> offsets_;  // start of each record inside bytes_
};

// An open database file: format probe, entry view and reads by position.
class RuleStorage {
public:
    // Opens the file for reading (path in UTF-8). False when it cannot be opened.
    bool Open(std::string_view utf8Path);

    // True with the format identifier written to formatId when the first bytes could be
    // examined (an empty file is plain text); false when the file could not be read.
    bool ProbeFormat(uint32_t& formatId);

    // The checked entry list, or null when the file is not a sound container.
    std::unique_ptr<ContainerView> OpenView();

    // Reads up to length bytes at position; the number of bytes read (0 at or past the end
    // and on failure).
    size_t ReadAt(uint64_t position, void* buffer, size_t length);

    // A sequential read cursor over the file. It reads ahead in large blocks: the JSON
    // parser asks for a kilobyte at a time, and each file read is a trip to the system.
    struct Cursor {
        RuleStorage* storage = nullptr;
        uint64_t position = 0;
        std::vector<uint8_t> ahead;
        size_t aheadUsed = 0;
    };
    Cursor CursorAt(uint64_t position) { return Cursor{this, position, {}, 0}; }
    static size_t ReadFromCursor(Cursor& cursor, void* buffer, size_t length);

    uint64_t size() const { return size_; }

private:
    UniqueFile file_;
    uint64_t size_ = 0;
};

// Building containers (the packer and the tests). An entry with an empty name is unnamed.
struct ContainerInput {
    std::string name;
    std::string payload;
};
// The container bytes, or nullopt when a name is longer than 127 bytes or holds a NUL, or an
// entry would not fit the 26-bit length.
std::optional<std::string> BuildContainer(const std::vector<ContainerInput>& entries);

uint32_t Crc32(const void* data, size_t length);

}  // namespace winhush::rules
