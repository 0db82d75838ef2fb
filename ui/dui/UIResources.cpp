// The process-wide resource location of the engine: instance, resource folder and the
// layout archive, which is read into memory and indexed once.
#include <minizip/unzip.h>

#include <cstring>
#include <map>
#include <mutex>

#include "base/Handles.h"
#include "base/Strings.h"
#include "ui/dui/UIManager.h"

namespace winhush::dui {

namespace {

struct MemorySource {
    const char* data;
    ZPOS64_T size;
};
struct MemoryStream {
    const MemorySource* source;
    ZPOS64_T pos;
};

voidpf ZCALLBACK MemOpen(voidpf opaque, const void*, int) {
    return new MemoryStream{static_cast<const MemorySource*>(opaque), 0};
}
uLong ZCALLBACK MemRead(voidpf, voidpf stream, void* buf, uLong size) {
    auto* s = static_cast<MemoryStream*>(stream);
    ZPOS64_T left = s->pos < s->source->size ? s->source->size - s->pos : 0;
    uLong count = static_cast<uLong>(left < size ? left : size);
    std::memcpy(buf, s->source->data + s->pos, count);
    s->pos += count;
    return count;
}
uLong ZCALLBACK MemWrite(voidpf, voidpf, const void*, uLong) { return 0; }
ZPOS64_T ZCALLBACK MemTell(voidpf, voidpf stream) { return static_cast<MemoryStream*>(stream)->pos; }
long ZCALLBACK MemSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* s = static_cast<MemoryStream*>(stream);
    ZPOS64_T base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
    case ZLIB_FILEFUNC_SEEK_CUR: base = s->pos; break;
    case ZLIB_FILEFUNC_SEEK_END: base = s->source->size; break;
    default: return -1;
    }
    if (base + offset > s->source->size) return -1;
    s->pos = base + offset;
    return 0;
}
int ZCALLBACK MemClose(voidpf, voidpf stream) {
    delete static_cast<MemoryStream*>(stream);
    return 0;
}
int ZCALLBACK MemError(voidpf, voidpf) { return 0; }

std::string LowerAscii(std::string text) {
    for (auto& ch : text) {
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    }
    return text;
}

// A read-only view of a whole file. Its pages belong to the file, not to the process's
// private memory: the system reads them in when touched and may drop them again, so a
// long-running program keeps its archive at hand without carrying a copy of it.
class MappedFile {
public:
    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile() { Close(); }

    bool Open(const std::wstring& path) {
        Close();
        // Nobody may change the file under the view; reading it stays open to all.
        UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        LARGE_INTEGER size;
        if (::GetFileSizeEx(file.get(), &size) && size.QuadPart > 0 && size.QuadPart < 256LL * 1024 * 1024) {
            // The view keeps the mapping alive once the handle is closed.
            UniqueHandle mapping(::CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
            if (mapping) {
                view_ = static_cast<const char*>(::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
                if (view_) size_ = static_cast<size_t>(size.QuadPart);
            }
        }
        return view_ != nullptr;
    }
    void Close() {
        if (view_) ::UnmapViewOfFile(view_);
        view_ = nullptr;
        size_ = 0;
    }
    const char* data() const { return view_; }
    size_t size() const { return size_; }

private:
    const char* view_ = nullptr;
    size_t size_ = 0;
};

// A zip held in memory (a buffer of its own or a mapped file) with an index of its entries
// by ASCII-lower-cased name. The stored names are compared as they are: a backslash is not
// a folder separator.
class ZipArchive {
public:
    bool Open(std::string bytes) {
        Close();
        bytes_ = std::move(bytes);
        return OpenSource(bytes_.data(), bytes_.size());
    }
    // Opens the file at path as a mapped view; false when it cannot be read or is no zip.
    bool OpenFile(const std::wstring& path) {
        Close();
        if (!file_.Open(path)) return false;
        if (OpenSource(file_.data(), file_.size())) return true;
        Close();
        return false;
    }

private:
    bool OpenSource(const char* data, size_t size) {
        source_ = {data, size};
        zlib_filefunc64_def funcs = {};
        funcs.zopen64_file = MemOpen;
        funcs.zread_file = MemRead;
        funcs.zwrite_file = MemWrite;
        funcs.ztell64_file = MemTell;
        funcs.zseek64_file = MemSeek;
        funcs.zclose_file = MemClose;
        funcs.zerror_file = MemError;
        funcs.opaque = &source_;
        handle_ = unzOpen2_64("memory", &funcs);
        if (!handle_) return false;
        for (int rc = unzGoToFirstFile(handle_); rc == UNZ_OK; rc = unzGoToNextFile(handle_)) {
            char name[1024];
            unz_file_info64 info;
            if (unzGetCurrentFileInfo64(handle_, &info, name, sizeof(name), nullptr, 0, nullptr, 0) != UNZ_OK) continue;
            unz64_file_pos pos;
            if (unzGetFilePos64(handle_, &pos) != UNZ_OK) continue;
            index_.emplace(LowerAscii(name), pos);
        }
        return true;
    }

public:
    void Close() {
        if (handle_) unzClose(handle_);
        handle_ = nullptr;
        index_.clear();
        file_.Close();
        bytes_.clear();
        bytes_.shrink_to_fit();
    }

    ~ZipArchive() { Close(); }

    bool Read(const std::string& name, std::string& out) {
        if (!handle_) return false;
        auto it = index_.find(LowerAscii(name));
        if (it == index_.end()) return false;
        unz64_file_pos pos = it->second;
        if (unzGoToFilePos64(handle_, &pos) != UNZ_OK) return false;
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(handle_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
        // Layouts and images are small; anything claiming more is not ours.
        if (info.uncompressed_size > 64u * 1024 * 1024) return false;
        if (unzOpenCurrentFile(handle_) != UNZ_OK) return false;
        out.resize(static_cast<size_t>(info.uncompressed_size));
        int read = out.empty() ? 0 : unzReadCurrentFile(handle_, out.data(), static_cast<unsigned>(out.size()));
        int closeRc = unzCloseCurrentFile(handle_);  // reports a CRC mismatch
        if (read != static_cast<int>(out.size()) || closeRc != UNZ_OK) {
            out.clear();
            return false;
        }
        return true;
    }

private:
    std::string bytes_;
    MappedFile file_;
    MemorySource source_ = {};
    unzFile handle_ = nullptr;
    std::map<std::string, unz64_file_pos> index_;
};

struct ResourceState {
    std::recursive_mutex lock;
    HINSTANCE instance = nullptr;
    CDuiString resourcePath;
    CDuiString zipName;
    bool cached = false;
    bool zipInUse = false;
    ZipArchive zip;
};

ResourceState& State() {
    static ResourceState state;
    return state;
}

bool ReadWholeFile(const std::wstring& path, std::string& out) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size;
    bool ok = ::GetFileSizeEx(file.get(), &size) && size.QuadPart < 256LL * 1024 * 1024;
    if (ok) {
        out.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = out.empty() || (::ReadFile(file.get(), out.data(), static_cast<DWORD>(out.size()), &read, nullptr) &&
                             read == out.size());
    }
    file.reset();
    if (!ok) out.clear();
    return ok;
}

}  // namespace

HINSTANCE CPaintManagerUI::GetInstance() { return State().instance; }

CDuiString CPaintManagerUI::GetInstancePath() {
    HINSTANCE instance = State().instance;
    if (!instance) return CDuiString();
    wchar_t path[MAX_PATH * 4];
    DWORD length = ::GetModuleFileNameW(instance, path, static_cast<DWORD>(std::size(path)));
    if (length == 0 || length >= std::size(path)) return CDuiString();
    std::wstring text(path, length);
    auto slash = text.find_last_of(L"\\/");
    return CDuiString(slash == std::wstring::npos ? std::wstring() : text.substr(0, slash + 1));
}

CDuiString CPaintManagerUI::GetCurrentPath() {
    wchar_t path[MAX_PATH * 4];
    DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(std::size(path)), path);
    return length && length < std::size(path) ? CDuiString(path) : CDuiString();
}

const CDuiString& CPaintManagerUI::GetResourcePath() { return State().resourcePath; }
const CDuiString& CPaintManagerUI::GetResourceZip() { return State().zipName; }
bool CPaintManagerUI::IsCachedResourceZip() { return State().cached; }

void CPaintManagerUI::SetInstance(HINSTANCE hInst) { State().instance = hInst; }

void CPaintManagerUI::SetCurrentPath(LPCTSTR path) { ::SetCurrentDirectoryW(path); }

void CPaintManagerUI::SetResourcePath(LPCTSTR path) {
    auto& state = State();
    std::lock_guard<std::recursive_mutex> guard(state.lock);
    state.resourcePath = path ? path : L"";
    if (!state.resourcePath.empty() && state.resourcePath.back() != L'\\' && state.resourcePath.back() != L'/') {
        state.resourcePath += L'\\';
    }
}

bool CPaintManagerUI::SetResourceZip(LPCTSTR zipName, bool cached) {
    auto& state = State();
    std::lock_guard<std::recursive_mutex> guard(state.lock);
    state.zip.Close();
    state.zipInUse = false;
    state.zipName = zipName ? zipName : L"";
    state.cached = cached;
    if (state.zipName.empty()) return false;
    const std::wstring path = state.resourcePath + state.zipName;
    if (cached) {
        // Kept open for the whole run as a view of the file rather than a private copy.
        state.zipInUse = state.zip.OpenFile(path);
        return state.zipInUse;
    }
    std::string bytes;
    ZipArchive probe;
    if (!ReadWholeFile(path, bytes) || !probe.Open(std::move(bytes))) return false;
    state.zipInUse = true;
    return true;
}

bool CPaintManagerUI::SetResourceZip(LPVOID data, unsigned int length) {
    auto& state = State();
    std::lock_guard<std::recursive_mutex> guard(state.lock);
    state.zip.Close();
    state.zipName = L"<memory>";
    state.cached = true;
    state.zipInUse = data && length && state.zip.Open(std::string(static_cast<const char*>(data), length));
    return state.zipInUse;
}

bool CPaintManagerUI::LoadResourceData(LPCTSTR name, std::string& data, bool plainPathFallback) {
    data.clear();
    if (!name || !*name) return false;
    auto& state = State();
    std::lock_guard<std::recursive_mutex> guard(state.lock);
    bool found = false;
    if (state.zipInUse) {
        std::string utf8 = WideToUtf8(name);
        if (state.cached) {
            found = state.zip.Read(utf8, data);
        } else {
            std::string bytes;
            ZipArchive archive;
            found = ReadWholeFile(state.resourcePath + state.zipName, bytes) && archive.Open(std::move(bytes)) &&
                    archive.Read(utf8, data);
        }
    } else {
        found = ReadWholeFile(state.resourcePath + name, data);
    }
    if (!found && plainPathFallback) found = ReadWholeFile(name, data);
    return found;
}

}  // namespace winhush::dui
