#include "monitor/BlockRecord.h"

#include <jansson.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/Handles.h"
#include "base/Json.h"
#include "base/JsonArena.h"
#include "base/Strings.h"

namespace winhush::monitor {

int64_t CurrentUnixTime() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const int64_t ticks = static_cast<int64_t>((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
    return ticks / 10000000 - 11644473600ll;  // 100 ns units since 1601
}

bool ByBlocks(const BlockRecord& a, const BlockRecord& b) {
    if (a.blockCnt != b.blockCnt) return a.blockCnt > b.blockCnt;
    return a.timeBlock > b.timeBlock;
}

bool ByRecordTime(const BlockRecord& a, const BlockRecord& b) {
    if (a.timeRecord != b.timeRecord) return a.timeRecord > b.timeRecord;
    return a.recordCnt > b.recordCnt;
}

bool BySortKey(const BlockRecord& a, const BlockRecord& b) { return a.sortKey > b.sortKey; }

std::wstring FileNameOf(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring FormatBlockTime(int64_t time) {
    __time64_t value = time;
    struct tm local = {};
    if (_localtime64_s(&local, &value) != 0) return {};
    return FormatW(L"%d%c%02d%c%02d %02d:%02d", local.tm_year + 1900, L'/', local.tm_mon + 1, L'/', local.tm_mday,
                   local.tm_hour, local.tm_min);
}

namespace {

constexpr size_t kMaxRecordFileBytes = 512ull * 1024 * 1024;
constexpr int kMaxKeptCopies = 10;
constexpr int kKeptNames = 100;  // ".bad", ".bad1" ... ".bad99"

// Errors that another program holding the file causes for a moment (an editor, a backup or
// virus scanner, a sync client); they say nothing about the file's contents.
bool IsPassingError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

enum class ReadOutcome { kRead, kMissing, kUnreadable };

ReadOutcome ReadWholeFile(const std::wstring& path, std::string& bytes, DWORD& error) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ReadOutcome::kMissing
                                                                               : ReadOutcome::kUnreadable;
    }
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > static_cast<LONGLONG>(kMaxRecordFileBytes)) {
        error = ERROR_FILE_TOO_LARGE;
        return ReadOutcome::kUnreadable;
    }
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        if (!::ReadFile(file.get(), bytes.data() + done, want, &chunk, nullptr)) {
            error = ::GetLastError();
            return ReadOutcome::kUnreadable;
        }
        if (chunk == 0) break;  // shrank while we read: take what is there
        done += chunk;
    }
    bytes.resize(done);
    return ReadOutcome::kRead;
}

// ---- Reading: hand-edited and foreign files ------------------------------------------
//
// The file is read one array element at a time, so one bad record, or a cut or garbage
// after some records, costs only what is bad. Before jansson sees an element, what jansson
// would reject although the record is plainly readable is mended in a copy: bytes that are
// not UTF-8 and NUL characters in strings become U+FFFD, escapes of lone surrogates too,
// raw control characters in strings are escaped, and a "hash" written as an unsigned
// 64-bit number becomes the signed number with the same 64 bits.

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The code unit of "\uXXXX" at p (p points at the backslash), or -1.
int32_t EscapedUnit(const char* p, const char* end) {
    if (end - p < 6 || p[0] != '\\' || p[1] != 'u') return -1;
    int32_t value = 0;
    for (int i = 2; i < 6; ++i) {
        int digit = HexValue(p[i]);
        if (digit < 0) return -1;
        value = value * 16 + digit;
    }
    return value;
}

// Length of the well-formed UTF-8 sequence at p (as jansson checks it: no overlong forms,
// no surrogates, nothing above U+10FFFF), or 0.
size_t Utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
    unsigned char c = p[0];
    size_t length;
    uint32_t value;
    if (c < 0x80) return 1;
    if (c < 0xC2) return 0;
    if (c < 0xE0) {
        length = 2;
        value = c & 0x1F;
    } else if (c < 0xF0) {
        length = 3;
        value = c & 0x0F;
    } else if (c < 0xF5) {
        length = 4;
        value = c & 0x07;
    } else {
        return 0;
    }
    if (static_cast<size_t>(end - p) < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        value = (value << 6) | (p[i] & 0x3F);
    }
    if ((length == 3 && value < 0x800) || (length == 4 && value < 0x10000) || value > 0x10FFFF ||
        (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

// Writes the mended text when kWrite, else only tells whether mending is needed.
template <bool kWrite>
struct Mender {
    std::string* out;
    bool needed = false;
    void Keep(const char* p, size_t n) {
        if constexpr (kWrite) out->append(p, n);
    }
    void Replace(std::string_view text) {
        needed = true;
        if constexpr (kWrite) out->append(text);
    }
};

constexpr std::string_view kReplacementEscape = "\\uFFFD";
constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

// A string from its opening quote; returns the position after its closing quote (or end).
template <bool kWrite>
const char* ScanString(const char* p, const char* end, Mender<kWrite>& m) {
    m.Keep(p++, 1);
    while (p < end) {
        const char* run = p;
        while (p < end && static_cast<unsigned char>(*p) >= 0x20 && static_cast<unsigned char>(*p) < 0x80 &&
               *p != '"' && *p != '\\')
            ++p;
        m.Keep(run, static_cast<size_t>(p - run));
        if (p >= end) break;
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"') {
            m.Keep(p, 1);
            return p + 1;
        }
        if (c == '\\') {
            int32_t unit = EscapedUnit(p, end);
            if (unit < 0) {  // another escape, or a broken one jansson will refuse
                size_t n = end - p >= 2 ? 2 : 1;
                m.Keep(p, n);
                p += n;
            } else if (unit == 0 || (unit >= 0xDC00 && unit <= 0xDFFF)) {
                m.Replace(kReplacementEscape);
                p += 6;
            } else if (unit >= 0xD800 && unit <= 0xDBFF) {
                int32_t low = EscapedUnit(p + 6, end);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    m.Keep(p, 12);
                    p += 12;
                } else {
                    m.Replace(kReplacementEscape);
                    p += 6;
                }
            } else {
                m.Keep(p, 6);
                p += 6;
            }
        } else if (c < 0x20) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            char escaped[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
            m.Replace(c == 0 ? kReplacementEscape : std::string_view(escaped, sizeof(escaped)));
            ++p;
        } else {
            size_t n = Utf8SequenceLength(reinterpret_cast<const unsigned char*>(p),
                                          reinterpret_cast<const unsigned char*>(end));
            if (n == 0) {
                m.Replace(kReplacementUtf8);
                ++p;
            } else {
                m.Keep(p, n);
                p += n;
            }
        }
    }
    return end;
}

// Whether the value at p is the value of a "hash" member: `"hash"` and ':' just before it.
bool FollowsHashKey(const char* begin, const char* p) {
    const char* q = p;
    while (q > begin && IsSpace(q[-1])) --q;
    if (q == begin || q[-1] != ':') return false;
    --q;
    while (q > begin && IsSpace(q[-1])) --q;
    constexpr std::string_view kKey = "\"hash\"";
    if (static_cast<size_t>(q - begin) < kKey.size() || std::string_view(q - kKey.size(), kKey.size()) != kKey)
        return false;
    q -= kKey.size();
    return q == begin || q[-1] == '{' || q[-1] == ',' || IsSpace(q[-1]);
}

// A number token; an unsigned 64-bit "hash" is rewritten as the signed number of the same
// bits. Other numbers jansson cannot hold are left for it to refuse (the record is dropped).
template <bool kWrite>
const char* ScanNumber(const char* elementBegin, const char* p, const char* end, Mender<kWrite>& m) {
    const char* start = p;
    if (*p == '-') ++p;
    const char* digits = p;
    while (p < end && *p >= '0' && *p <= '9') ++p;
    bool integer = p == end || (*p != '.' && *p != 'e' && *p != 'E');
    size_t count = static_cast<size_t>(p - digits);
    if (integer && *start != '-' && count >= 19 && count <= 20 && FollowsHashKey(elementBegin, start)) {
        uint64_t value = 0;
        bool fits = true;
        for (const char* d = digits; d < p && fits; ++d) {
            uint64_t digit = static_cast<uint64_t>(*d - '0');
            if (value > (UINT64_MAX - digit) / 10) fits = false;
            else value = value * 10 + digit;
        }
        if (fits && value > static_cast<uint64_t>(INT64_MAX)) {
            m.Replace(std::to_string(static_cast<int64_t>(value)));
            return p;
        }
    }
    m.Keep(start, static_cast<size_t>(p - start));
    return p;
}

// One element of the top-level array, from its first character to the ',' or ']' that ends
// it (or the end of the text). Nesting is followed so that commas inside records do not
// end them.
template <bool kWrite>
const char* ScanElement(const char* p, const char* end, Mender<kWrite>& m) {
    const char* begin = p;
    int depth = 0;
    while (p < end) {
        char c = *p;
        if (c == '"') {
            p = ScanString(p, end, m);
            continue;
        }
        if (depth == 0 && (c == ',' || c == ']')) break;
        if (c == '-' || (c >= '0' && c <= '9')) {
            p = ScanNumber(begin, p, end, m);
            continue;
        }
        if (c == '{' || c == '[') {
            ++depth;
        } else if ((c == '}' || c == ']') && depth > 0) {
            --depth;
        }
        const char* run = p++;
        m.Keep(run, 1);
    }
    return p;
}

// Where the next record after `from` begins: a '{' followed by the key "wndInfo", the first
// key of every record we write. Inside a string the key's quotes would be escaped, so this
// finds record starts even after a damaged record whose quotes no longer pair up, and a
// damaged record never takes the ones after it along.
const char* NextRecordStart(const char* from, const char* end) {
    constexpr std::string_view kKey = "\"wndInfo\"";
    std::string_view text(from, static_cast<size_t>(end - from));
    for (size_t at = text.find(kKey); at != std::string_view::npos; at = text.find(kKey, at + 1)) {
        size_t q = at;
        while (q > 0 && IsSpace(text[q - 1])) --q;
        if (q > 0 && text[q - 1] == '{') return from + q - 1;
    }
    return end;
}

// jansson has checked the text: well-formed UTF-8 without NUL.
std::wstring FromUtf8(json_t* string) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(json_string_value(string));
    const unsigned char* end = p + json_string_length(string);
    std::wstring out;
    out.reserve(static_cast<size_t>(end - p));
    while (p < end) {
        unsigned char c = *p;
        uint32_t value;
        if (c < 0x80) {
            out.push_back(static_cast<wchar_t>(c));
            ++p;
            continue;
        }
        size_t n = Utf8SequenceLength(p, end);
        if (n == 0) {  // cannot happen after jansson; never read past the end for it
            out.push_back(L'\xFFFD');
            ++p;
            continue;
        }
        value = n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
        for (size_t i = 1; i < n; ++i) value = (value << 6) | (p[i] & 0x3F);
        p += n;
        if (value >= 0x10000) {
            value -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 | (value >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 | (value & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(value));
        }
    }
    return out;
}

bool GetString(json_t* object, const char* key, std::wstring& out) {
    json_t* value = json_object_get(object, key);
    if (!json_is_string(value)) return false;
    out = FromUtf8(value);
    return true;
}

// An integer member within [low, high]; outside it the record is as invalid as with a
// wrong type, never cut down to a number that means something else.
bool GetInteger(json_t* object, const char* key, json_int_t low, json_int_t high, json_int_t& out) {
    json_t* value = json_object_get(object, key);
    if (!json_is_integer(value)) return false;
    json_int_t v = json_integer_value(value);
    if (v < low || v > high) return false;
    out = v;
    return true;
}

constexpr json_int_t kInt32Min = INT32_MIN;
constexpr json_int_t kInt32Max = INT32_MAX;
constexpr json_int_t kUint32Max = UINT32_MAX;
constexpr json_int_t kInt64Min = INT64_MIN;
constexpr json_int_t kInt64Max = INT64_MAX;

bool GetInt32(json_t* object, const char* key, int& out) {
    json_int_t v;
    if (!GetInteger(object, key, kInt32Min, kInt32Max, v)) return false;
    out = static_cast<int>(v);
    return true;
}

// 32 bits written either way: as the signed number we write, or as the unsigned one.
bool GetBits32(json_t* object, const char* key, uint32_t& out) {
    json_int_t v;
    if (!GetInteger(object, key, kInt32Min, kUint32Max, v)) return false;
    out = static_cast<uint32_t>(v);
    return true;
}

bool ParseRecord(json_t* element, BlockRecord& record) {
    if (!json_is_object(element)) return false;
    json_t* wndInfo = json_object_get(element, "wndInfo");
    if (!json_is_object(wndInfo)) return false;
    json_int_t hash, timeRecord, timeBlock;
    uint32_t blockCnt, style;
    int status, recordCnt, addType = kAddedByMonitor;
    int left, top, right, bottom, pos;
    if (!GetInteger(element, "hash", kInt64Min, kInt64Max, hash) || !GetString(element, "name", record.name) ||
        !GetString(element, "imagePath", record.imagePath) || !GetInt32(element, "status", status) ||
        !GetInteger(element, "timeRecord", kInt64Min, kInt64Max, timeRecord) ||
        !GetInteger(element, "timeBlock", kInt64Min, kInt64Max, timeBlock) ||
        !GetBits32(element, "blockCnt", blockCnt) || !GetInt32(element, "recordCnt", recordCnt))
        return false;
    if (json_object_get(element, "addType") && !GetInt32(element, "addType", addType)) return false;
    WndInfo& w = record.window;
    if (!GetString(wndInfo, "path", w.path) || !GetString(wndInfo, "caption", w.caption) ||
        !GetString(wndInfo, "class", w.className) || !GetInt32(wndInfo, "rect.left", left) ||
        !GetInt32(wndInfo, "rect.top", top) || !GetInt32(wndInfo, "rect.right", right) ||
        !GetInt32(wndInfo, "rect.bottom", bottom) || !GetBits32(wndInfo, "style", style) ||
        !GetInt32(wndInfo, "pos", pos))
        return false;
    w.rect = {left, top, right, bottom};
    w.style = style;
    w.pos = pos;
    record.hash = static_cast<uint64_t>(hash);
    record.status = status;
    record.timeRecord = timeRecord;
    record.timeBlock = timeBlock;
    record.blockCnt = blockCnt;
    record.recordCnt = recordCnt;
    record.addType = addType;
    return true;
}

// ---- Writing: jansson's compact text (flags 0), produced directly ---------------------
//
// The text is exactly what json_dumps(array, 0) gives for the packed records: ", " and ": "
// as separators, keys in packing order, '"', '\' and control characters escaped as jansson
// escapes them, everything else as UTF-8. Strings end at their first NUL, as the C strings
// handed to json_pack did, and unpaired surrogates become U+FFFD, as the system's UTF-8
// conversion makes them.

void AppendString(std::string& out, const std::wstring& text) {
    out.push_back('"');
    const wchar_t* p = text.c_str();
    for (;; ++p) {
        uint32_t c = static_cast<uint16_t>(*p);
        if (c == 0) break;
        if (c < 0x80) {
            if (c >= 0x20 && c != '"' && c != '\\') {
                out.push_back(static_cast<char>(c));
                continue;
            }
            switch (c) {
                case '"': out.append("\\\""); break;
                case '\\': out.append("\\\\"); break;
                case '\b': out.append("\\b"); break;
                case '\f': out.append("\\f"); break;
                case '\n': out.append("\\n"); break;
                case '\r': out.append("\\r"); break;
                case '\t': out.append("\\t"); break;
                default: {
                    static constexpr char kHex[] = "0123456789ABCDEF";
                    char escaped[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
                    out.append(escaped, sizeof(escaped));
                }
            }
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && static_cast<uint16_t>(p[1]) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint16_t>(p[1]) - 0xDC00);
            ++p;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        } else {
            if (c < 0x10000) {
                out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            } else {
                out.push_back(static_cast<char>(0xF0 | (c >> 18)));
                out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            }
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        }
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    out.push_back('"');
}

void AppendInteger(std::string& out, int64_t value) {
    char digits[24];
    char* end = digits + sizeof(digits);
    char* p = end;
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0) *--p = '-';
    out.append(p, static_cast<size_t>(end - p));
}

void AppendMember(std::string& out, std::string_view keyAndSeparator, int64_t value) {
    out.append(keyAndSeparator);
    AppendInteger(out, value);
}

void AppendMember(std::string& out, std::string_view keyAndSeparator, const std::wstring& value) {
    out.append(keyAndSeparator);
    AppendString(out, value);
}

void AppendRecord(std::string& out, const BlockRecord& record) {
    const WndInfo& w = record.window;
    AppendMember(out, "{\"wndInfo\": {\"path\": ", w.path);
    AppendMember(out, ", \"caption\": ", w.caption);
    AppendMember(out, ", \"class\": ", w.className);
    AppendMember(out, ", \"rect.left\": ", static_cast<int32_t>(w.rect.left));
    AppendMember(out, ", \"rect.top\": ", static_cast<int32_t>(w.rect.top));
    AppendMember(out, ", \"rect.right\": ", static_cast<int32_t>(w.rect.right));
    AppendMember(out, ", \"rect.bottom\": ", static_cast<int32_t>(w.rect.bottom));
    AppendMember(out, ", \"style\": ", static_cast<int32_t>(w.style));
    AppendMember(out, ", \"pos\": ", static_cast<int32_t>(w.pos));
    AppendMember(out, "}, \"hash\": ", static_cast<int64_t>(record.hash));
    AppendMember(out, ", \"name\": ", record.name);
    AppendMember(out, ", \"imagePath\": ", record.imagePath);
    AppendMember(out, ", \"status\": ", static_cast<int32_t>(record.status));
    AppendMember(out, ", \"timeRecord\": ", record.timeRecord);
    AppendMember(out, ", \"timeBlock\": ", record.timeBlock);
    AppendMember(out, ", \"blockCnt\": ", static_cast<int32_t>(record.blockCnt));
    AppendMember(out, ", \"recordCnt\": ", static_cast<int32_t>(record.recordCnt));
    AppendMember(out, ", \"addType\": ", static_cast<int32_t>(record.addType));
    out.push_back('}');
}

void ClearReadOnly(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    ClearReadOnly(path);  // a leftover we made; a read-only one could never be rewritten
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        if (!::WriteFile(file.get(), bytes.data() + done, want, &chunk, nullptr) || chunk == 0) return false;
        done += chunk;
    }
    return ::FlushFileBuffers(file.get()) != 0;
}

std::wstring KeptName(const std::wstring& path, int index) {
    return index == 0 ? path + L".bad" : path + L".bad" + std::to_wstring(index);
}

// Moves the file aside under a free kept name, never over an earlier kept copy. At most
// kMaxKeptCopies are kept: the oldest go first, so a file damaged again and again cannot
// fill the disk, and the newest copies, the ones a user would look for, stay.
bool KeepDamagedFile(const std::wstring& path) {
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return true;  // nothing left to keep
    struct Kept {
        int index;
        FILETIME written;
    };
    std::vector<Kept> kept;
    for (int i = 0; i < kKeptNames; ++i) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (::GetFileAttributesExW(KeptName(path, i).c_str(), GetFileExInfoStandard, &data))
            kept.push_back({i, data.ftLastWriteTime});
    }
    std::sort(kept.begin(), kept.end(), [](const Kept& a, const Kept& b) {
        int order = ::CompareFileTime(&a.written, &b.written);
        return order != 0 ? order < 0 : a.index < b.index;
    });
    std::vector<bool> taken(kKeptNames, false);
    for (const Kept& k : kept) taken[k.index] = true;
    for (size_t oldest = 0; kept.size() - oldest >= kMaxKeptCopies; ++oldest) {
        std::wstring name = KeptName(path, kept[oldest].index);
        ClearReadOnly(name);
        if (::DeleteFileW(name.c_str())) taken[kept[oldest].index] = false;
    }
    for (int i = 0; i < kKeptNames; ++i) {
        if (!taken[i]) return ::MoveFileExW(path.c_str(), KeptName(path, i).c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    }
    return false;  // every name held by a copy we could not remove: keep the file as it is
}

// Reads the file whole, retrying passing errors (another program holding it) for up to
// `retryMs`; false when there is nothing to parse.
bool ReadRecordBytes(const std::wstring& path, DWORD retryMs, std::string& bytes, LoadResult& result) {
    const ULONGLONG giveUp = ::GetTickCount64() + retryMs;
    for (;;) {
        DWORD error = ERROR_SUCCESS;
        ReadOutcome outcome = ReadWholeFile(path, bytes, error);
        if (outcome == ReadOutcome::kMissing) return false;
        result.fileExisted = true;
        if (outcome == ReadOutcome::kRead) return true;
        if (!IsPassingError(error) || ::GetTickCount64() >= giveUp) {
            result.unreadable = true;  // there but not readable now: never judged, never replaced
            return false;
        }
        ::Sleep(50);
    }
}

// One array element, already mended where it needed it: a record, or one dropped.
void AddRecordElement(std::string_view element, std::vector<BlockRecord>& records, LoadResult& result) {
    UniqueJson value(json_loadb(element.data(), element.size(), 0, nullptr));
    BlockRecord record;
    if (value && ParseRecord(value.get(), record)) {
        records.push_back(std::move(record));
    } else {
        ++result.dropped;
    }
}

}  // namespace

LoadResult LoadRecordFile(const std::wstring& path, std::vector<BlockRecord>& records, DWORD retryMs) {
    LoadResult result;
    if (path.empty()) return result;
    std::string bytes;
    if (!ReadRecordBytes(path, retryMs, bytes, result)) return result;

    std::string_view text = bytes;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // saved once by Notepad
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && IsSpace(*p)) ++p;
    if (p == end) return result;  // empty: no records to lose
    if (*p != '[') {
        result.damaged = true;
        return result;
    }
    ++p;

    bool repaired = false;
    bool closed = false;
    bool afterComma = false;
    ScopedJsonArena arena;
    std::string mended;
    for (;;) {
        while (p < end && IsSpace(*p)) ++p;
        if (p == end) break;  // cut short
        if (*p == ']') {
            repaired |= afterComma;
            ++p;
            closed = true;
            break;
        }
        const char* start = p;
        const char* next = NextRecordStart(start + 1, end);
        Mender<false> scan{nullptr};
        p = ScanElement(start, next, scan);
        std::string_view element(start, static_cast<size_t>(p - start));
        if (scan.needed) {
            mended.clear();
            Mender<true> mend{&mended};
            ScanElement(start, p, mend);
            element = mended;
            repaired = true;
        }
        AddRecordElement(element, records, result);
        arena.Reset();
        if (p == end) break;
        if (p == next) {  // cut at the next record: this one was damaged, or a comma is missing
            repaired = true;
            afterComma = false;
            continue;
        }
        afterComma = *p == ',';
        if (*p == ']') {
            ++p;
            closed = true;
            break;
        }
        ++p;
    }
    while (p < end && IsSpace(*p)) ++p;
    if (p != end) repaired = true;  // after the array: another program's leftovers
    result.damaged = repaired || !closed || result.dropped != 0;
    return result;
}

bool RestoreUnreadRecords(const std::wstring& path, std::vector<BlockRecord>& records, bool& damaged) {
    std::vector<BlockRecord> stored;
    LoadResult again = LoadRecordFile(path, stored, 0);
    if (again.unreadable) return false;
    damaged = again.damaged;
    // What the file knew comes first, as it did before this run; what this run added
    // follows. A window this run only recorded gives way to a decision the file holds.
    std::vector<BlockRecord> merged;
    merged.reserve(stored.size() + records.size());
    std::vector<bool> used(records.size(), false);
    for (BlockRecord& old : stored) {
        auto it = std::find_if(records.begin(), records.end(), [&](const BlockRecord& r) { return r.hash == old.hash; });
        if (it == records.end()) {
            merged.push_back(std::move(old));
            continue;
        }
        size_t i = static_cast<size_t>(it - records.begin());
        if (used[i]) continue;
        used[i] = true;
        merged.push_back(it->status == kStatusRecorded && old.status != kStatusRecorded ? std::move(old)
                                                                                         : std::move(*it));
    }
    for (size_t i = 0; i < records.size(); ++i) {
        if (!used[i]) merged.push_back(std::move(records[i]));
    }
    records = std::move(merged);
    return true;
}

std::string SerializeRecords(const std::vector<BlockRecord>& records) {
    std::string text;
    text.reserve(records.size() * 512 + 2);
    text.push_back('[');
    for (size_t i = 0; i < records.size(); ++i) {
        if (i) text.append(", ");
        AppendRecord(text, records[i]);
    }
    text.push_back(']');
    return text;
}

bool SaveRecordFile(const std::wstring& path, const std::vector<BlockRecord>& records, bool keepDamaged) {
    if (path.empty()) return false;
    std::string text = SerializeRecords(records);
    // Same folder as the target so the final move is a rename, never a copy.
    std::wstring temporary = path + L".tmp";
    if (!WriteWholeFile(temporary, text)) {
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    if (keepDamaged && !KeepDamagedFile(path)) {
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    // A read-only file cannot be replaced; the list is ours to keep current all the same.
    ClearReadOnly(path);
    // A file that someone else has open (a viewer, a virus scanner) cannot be replaced for
    // that moment; such readers let go within milliseconds.
    for (int attempt = 0;; ++attempt) {
        if (::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        DWORD error = ::GetLastError();
        if (attempt >= 20 || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) break;
        ::Sleep(5);
    }
    ::DeleteFileW(temporary.c_str());
    return false;
}

}  // namespace winhush::monitor
