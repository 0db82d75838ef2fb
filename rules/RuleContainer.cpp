#include "rules/RuleContainer.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <new>

#include "base/Strings.h"

namespace winhush::rules {

namespace {

uint32_t LoadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

void StoreU32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}
void StoreU16(std::string& out, uint16_t value) {
    out.push_back(static_cast<char>(value & 0xff));
    out.push_back(static_cast<char>(value >> 8));
}

const std::array<uint32_t, 256>& CrcTable() {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    return table;
}

}  // namespace

uint32_t Crc32(const void* data, size_t length) {
    const auto& table = CrcTable();
    const auto* p = static_cast<const uint8_t*>(data);
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) c = table[(c ^ p[i]) & 0xff] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

uint32_t ContainerEntry::totalLength() const { return LoadU32(record_ + 8) & kEntryLengthMask; }

std::string_view ContainerEntry::name() const {
    return {reinterpret_cast<const char*>(record_ + 13), static_cast<size_t>(nameLength())};
}

std::string_view ContainerEntry::payload() const {
    size_t n = static_cast<size_t>(nameLength());
    return {reinterpret_cast<const char*>(record_ + kEntryFixedSize + n), totalLength() - kEntryFixedSize - n};
}

std::optional<ContainerEntry> ContainerView::First() const {
    if (offsets_.empty()) return std::nullopt;
    return ContainerEntry(bytes_.data() + offsets_.front());
}

std::optional<ContainerEntry> ContainerView::Next(const ContainerEntry& current) const {
    // The view checked every record on opening, so the successor is found by position; an
    // entry that is not ours (or the last one) has no successor.
    const uint8_t* base = bytes_.data();
    if (current.data() < base || current.data() >= base + bytes_.size()) return std::nullopt;
    size_t offset = static_cast<size_t>(current.data() - base);
    auto it = std::lower_bound(offsets_.begin(), offsets_.end(), offset);
    if (it == offsets_.end() || *it != offset || it + 1 == offsets_.end()) return std::nullopt;
    return ContainerEntry(base + *(it + 1));
}

bool RuleStorage::Open(std::string_view utf8Path) {
    file_.reset();
    size_ = 0;
    std::wstring path = Utf8ToWide(utf8Path);
    if (path.empty()) return false;
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return false;
    // A directory opens too (with backup semantics only) but must not count as a database.
    BY_HANDLE_FILE_INFORMATION info = {};
    if (::GetFileInformationByHandle(file.get(), &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    size_ = static_cast<uint64_t>(size.QuadPart);
    file_ = std::move(file);
    return true;
}

size_t RuleStorage::ReadAt(uint64_t position, void* buffer, size_t length) {
    if (!file_ || position >= size_ || length == 0) return 0;
    uint64_t available = size_ - position;
    if (length > available) length = static_cast<size_t>(available);
    size_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < length) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(length - done, 1u << 30));
        OVERLAPPED at = {};
        uint64_t where = position + done;
        at.Offset = static_cast<DWORD>(where & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(where >> 32);
        DWORD got = 0;
        if (!::ReadFile(file_.get(), out + done, chunk, &got, &at) || got == 0) break;
        done += got;
    }
    return done;
}

size_t RuleStorage::ReadFromCursor(Cursor& cursor, void* buffer, size_t length) {
    if (!cursor.storage || length == 0) return 0;
    constexpr size_t kReadAhead = 64 * 1024;
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < length) {
        if (cursor.aheadUsed == cursor.ahead.size()) {
            cursor.ahead.resize(kReadAhead);
            size_t got = cursor.storage->ReadAt(cursor.position, cursor.ahead.data(), kReadAhead);
            cursor.ahead.resize(got);
            cursor.aheadUsed = 0;
            cursor.position += got;
            if (got == 0) break;
        }
        size_t take = std::min(length - done, cursor.ahead.size() - cursor.aheadUsed);
        std::memcpy(out + done, cursor.ahead.data() + cursor.aheadUsed, take);
        cursor.aheadUsed += take;
        done += take;
    }
    return done;
}

bool RuleStorage::ProbeFormat(uint32_t& formatId) {
    if (!file_) return false;
    uint8_t magic[sizeof(kContainerMagic)] = {};
    size_t got = ReadAt(0, magic, sizeof(magic));
    formatId = (got == sizeof(magic) && std::memcmp(magic, kContainerMagic, sizeof(magic)) == 0) ? kContainerFormatId
                                                                                                : kPlainFormatId;
    return true;
}

std::unique_ptr<ContainerView> RuleStorage::OpenView() {
    if (!file_ || size_ < kContainerHeaderSize || size_ > kMaxContainerBytes) return nullptr;
    std::unique_ptr<ContainerView> view(new (std::nothrow) ContainerView);
    if (!view) return nullptr;
    try {
        view->bytes_.resize(static_cast<size_t>(size_));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (ReadAt(0, view->bytes_.data(), view->bytes_.size()) != view->bytes_.size()) return nullptr;

    const uint8_t* bytes = view->bytes_.data();
    const size_t size = view->bytes_.size();
    if (std::memcmp(bytes, kContainerMagic, sizeof(kContainerMagic)) != 0) return nullptr;
    if (LoadU16(bytes + 4) != kContainerVersion) return nullptr;
    if (LoadU32(bytes + 12) != Crc32(bytes, 12)) return nullptr;
    const uint32_t count = LoadU32(bytes + 8);
    // Every entry takes at least its fixed part: a count the file cannot hold is damage, and
    // checking it first keeps a forged count from reserving memory.
    if (count > (size - kContainerHeaderSize) / kEntryFixedSize) return nullptr;
    view->offsets_.reserve(count);

    size_t offset = kContainerHeaderSize;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t remaining = size - offset;
        if (remaining < kEntryFixedSize) return nullptr;
        const uint8_t* record = bytes + offset;
        if (std::memcmp(record, kEntrySignature, sizeof(kEntrySignature)) != 0) return nullptr;
        const size_t total = LoadU32(record + 8) & kEntryLengthMask;
        const int nameLength = static_cast<int8_t>(record[12]);
        if (nameLength < 0) return nullptr;
        const size_t n = static_cast<size_t>(nameLength);
        if (total < kEntryFixedSize + n || total > remaining) return nullptr;
        if (record[13 + n] != 0) return nullptr;
        if (std::memchr(record + 13, 0, n) != nullptr) return nullptr;
        if (LoadU32(record + 4) != Crc32(record + 12, total - 12)) return nullptr;
        view->offsets_.push_back(offset);
        offset += total;
    }
    if (offset != size) return nullptr;  // trailing bytes: not a file we wrote
    return view;
}

std::optional<std::string> BuildContainer(const std::vector<ContainerInput>& entries) {
    if (entries.size() > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    std::string out;
    out.append(kContainerMagic, sizeof(kContainerMagic));
    StoreU16(out, kContainerVersion);
    StoreU16(out, 0);
    StoreU32(out, static_cast<uint32_t>(entries.size()));
    StoreU32(out, Crc32(out.data(), out.size()));

    for (const auto& entry : entries) {
        if (entry.name.size() > kMaxEntryNameBytes || entry.name.find('\0') != std::string::npos) return std::nullopt;
        const size_t total = kEntryFixedSize + entry.name.size() + entry.payload.size();
        if (total > kEntryLengthMask) return std::nullopt;
        std::string tail;  // bytes 12..end, the checksummed part
        tail.push_back(static_cast<char>(entry.name.size()));
        tail += entry.name;
        tail.push_back('\0');
        tail += entry.payload;
        out.append(kEntrySignature, sizeof(kEntrySignature));
        StoreU32(out, Crc32(tail.data(), tail.size()));
        StoreU32(out, static_cast<uint32_t>(total));
        out += tail;
    }
    return out;
}

}  // namespace winhush::rules
