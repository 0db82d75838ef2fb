#include "rules/RuleDatabase.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "settings/Paths.h"
#include "settings/StartupConfig.h"
#include "base/Strings.h"
#include "base/Wow64.h"
#include "rules/RuleContainer.h"

namespace winhush::rules {

namespace {

constexpr char kProgramSection[] = "winhsh";

thread_local const std::atomic<bool>* t_stop = nullptr;

bool StopRequested() { return t_stop && t_stop->load(std::memory_order_relaxed); }

// jansson asks for a kilobyte at a time; a callback result of (size_t)-1 ends the parse
// as a failure at once.
constexpr size_t kAbortRead = static_cast<size_t>(-1);

size_t ReadCursorCallback(void* buffer, size_t length, void* data) {
    if (StopRequested()) return kAbortRead;
    return RuleStorage::ReadFromCursor(*static_cast<RuleStorage::Cursor*>(data), buffer, length);
}

struct PayloadReader {
    std::string_view rest;
};

size_t ReadPayloadCallback(void* buffer, size_t length, void* data) {
    if (StopRequested()) return kAbortRead;
    auto* reader = static_cast<PayloadReader*>(data);
    size_t take = std::min(length, reader->rest.size());
    std::memcpy(buffer, reader->rest.data(), take);
    reader->rest.remove_prefix(take);
    return take;
}

UniqueJson ReadContainer(RuleStorage& storage) {
    std::unique_ptr<ContainerView> view = storage.OpenView();
    if (!view) return {};
    std::optional<ContainerEntry> entry = view->First();
    // The first entry decides the shape: unnamed entries form an array, named ones an object.
    const bool arrayMode = entry && entry->nameLength() == 0;
    UniqueJson result(arrayMode ? json_array() : json_object());
    if (!result) return {};
    for (; entry; entry = view->Next(*entry)) {
        if (StopRequested()) return {};
        const bool unnamed = entry->nameLength() == 0;
        if (unnamed != arrayMode) return {};
        PayloadReader reader{entry->payload()};
        json_t* value = json_load_callback(ReadPayloadCallback, &reader, 0, nullptr);
        if (!value) return {};  // one bad entry spoils the whole database
        int stored = arrayMode ? json_array_append_new(result.get(), value)
                               : json_object_set_new(result.get(), std::string(entry->name()).c_str(), value);
        if (stored < 0) return {};
    }
    return result;
}

UniqueJson ReadPlainText(RuleStorage& storage) {
    static constexpr unsigned char kBom[3] = {0xEF, 0xBB, 0xBF};
    unsigned char head[3] = {};
    uint64_t start = (storage.ReadAt(0, head, sizeof(head)) == sizeof(head) && std::memcmp(head, kBom, 3) == 0) ? 3 : 0;
    RuleStorage::Cursor cursor = storage.CursorAt(start);
    return UniqueJson(json_load_callback(ReadCursorCallback, &cursor, 0, nullptr));
}

// Parses segment as a whole unsigned number in C notation; false when it is anything else.
bool ParseIndex(std::string_view text, size_t& index) {
    if (text.empty()) return false;
    unsigned base = 10;
    size_t pos = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        pos = 2;
    } else if (text.size() > 1 && text[0] == '0') {
        base = 8;
        pos = 1;
    }
    size_t value = 0;
    for (; pos < text.size(); ++pos) {
        char c = text[pos];
        unsigned digit;
        if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
        else return false;
        if (digit >= base) return false;
        if (value > (SIZE_MAX - digit) / base) return false;  // too big to be any element
        value = value * base + digit;
    }
    index = value;
    return true;
}

}  // namespace

ScopedRuleReadStop::ScopedRuleReadStop(const std::atomic<bool>* flag) : previous_(t_stop) { t_stop = flag; }
ScopedRuleReadStop::~ScopedRuleReadStop() { t_stop = previous_; }

UniqueJson LoadRuleDocument(std::string_view utf8Path) {
    RuleStorage storage;
    if (!storage.Open(utf8Path)) return {};
    uint32_t format = 0;
    if (storage.ProbeFormat(format) && format == kContainerFormatId) return ReadContainer(storage);
    return ReadPlainText(storage);
}

json_t* JsonPathGet(json_t* root, std::string_view path) {
    json_t* current = root;
    size_t pos = 0;
    while (current && pos < path.size()) {
        size_t end = path.find_first_of("/\\", pos);
        if (end == std::string_view::npos) end = path.size();
        std::string_view segment = path.substr(pos, end - pos);
        pos = end + 1;
        if (segment.empty()) continue;
        size_t index = 0;
        if (segment[0] == '#' && json_is_array(current) && ParseIndex(segment.substr(1), index)) {
            current = json_array_get(current, index);
        } else if (json_is_object(current)) {
            current = json_object_get(current, std::string(segment).c_str());
        } else {
            return nullptr;
        }
    }
    return current;
}

UniqueJson GetRuleSectionFrom(const std::wstring& databasePath, int kind) {
    if (kind != kSectionInRule && kind != kSectionWhiteList) return {};
    UniqueJson root;
    {
        ScopedWow64RedirectionOff redirectionOff;
        root = LoadRuleDocument(WideToUtf8(databasePath));
    }
    if (!root) return {};
    json_t* program = JsonPathGet(root.get(), kProgramSection);
    if (!json_is_object(program)) return {};
    json_t* section = json_object_get(program, kind == kSectionInRule ? "in_rule" : "white_list");
    return UniqueJson(json_incref(section));
}

UniqueJson GetRuleSection(int kind) {
    std::optional<std::wstring> path = GetRuleDatabasePath();
    if (!path || path->empty()) return {};
    return GetRuleSectionFrom(*path, kind);
}

void FillStartupClassLists(StartupConfig& config) {
    UniqueJson whiteList = GetRuleSection(kSectionWhiteList);
    if (!whiteList) return;
    struct {
        const char* key;
        std::vector<std::wstring>* list;
    } const lists[] = {{"system_class", &config.systemClasses}, {"common_class", &config.commonClasses}};
    for (const auto& item : lists) {
        json_t* array = json_object_get(whiteList.get(), item.key);
        if (!json_is_array(array)) continue;
        size_t i;
        json_t* element;
        json_array_foreach(array, i, element) {
            if (json_is_string(element))
                item.list->push_back(Utf8ToWide(std::string_view(json_string_value(element), json_string_length(element))));
        }
    }
}

}  // namespace winhush::rules
