#include "ui/dui/UIDlgBuilder.h"

#include <pugixml.hpp>

#include <cwctype>

#include "base/Strings.h"
#include "ui/dui/UICombo.h"
#include "ui/dui/UIContainer.h"
#include "ui/dui/UIEdit.h"
#include "ui/dui/UIFileIcon.h"
#include "ui/dui/UILabel.h"
#include "ui/dui/UIList.h"
#include "ui/dui/UIParse.h"
#include "ui/dui/UIScrollBar.h"

namespace winhush::dui {

namespace {

constexpr size_t kMaxLayoutBytes = 4u * 1024 * 1024;

std::wstring W(const char* utf8) { return Utf8ToWide(utf8 ? utf8 : ""); }

bool IsResourceTag(const std::string& tag) {
    return tag == "Window" || tag == "Font" || tag == "Image" || tag == "Default";
}

}  // namespace

struct CDialogBuilder::Impl {
    pugi::xml_document doc;
    bool valid = false;
    std::wstring error;
    std::wstring errorLocation;
    std::wstring type;
    CPaintManagerUI* registeredFor = nullptr;  // resources of this markup were registered here

    bool Load(LPCTSTR xml, LPCTSTR resType) {
        valid = false;
        error.clear();
        std::string bytes;
        if (!xml || !*xml) {
            error = L"no layout given";
            return false;
        }
        if (*xml == L'<') {
            bytes = WideToUtf8(xml);
        } else {
            bool numeric = true;
            for (const wchar_t* p = xml; *p; ++p) numeric = numeric && iswdigit(*p);
            if (numeric && resType && *resType) {
                HINSTANCE instance = CPaintManagerUI::GetInstance();
                HRSRC res = ::FindResourceW(instance, MAKEINTRESOURCEW(_wtoi(xml)), resType);
                HGLOBAL global = res ? ::LoadResource(instance, res) : nullptr;
                DWORD size = res ? ::SizeofResource(instance, res) : 0;
                if (global && size) bytes.assign(static_cast<const char*>(::LockResource(global)), size);
            } else {
                CPaintManagerUI::LoadResourceData(xml, bytes, false);
            }
            if (bytes.empty()) {
                error = std::wstring(L"layout not found: ") + xml;
                return false;
            }
        }
        if (bytes.size() > kMaxLayoutBytes) {
            error = L"layout larger than 4 MB";
            return false;
        }
        pugi::xml_parse_result result = doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto);
        if (!result) {
            error = W(result.description());
            errorLocation = std::to_wstring(result.offset);
            return false;
        }
        valid = doc.document_element() != nullptr;
        if (!valid) error = L"empty layout";
        registeredFor = nullptr;
        return valid;
    }

    void ApplyWindowAttributes(const pugi::xml_node& window, CPaintManagerUI* manager) {
        for (const pugi::xml_attribute& attribute : window.attributes()) {
            std::string name = attribute.name();
            std::wstring value = W(attribute.value());
            RECT rc;
            SIZE sz;
            DWORD color;
            int number;
            if (name == "size") {
                if (detail::ParseSize(value.c_str(), sz) && sz.cx >= 0 && sz.cy >= 0) manager->SetInitSize(sz.cx, sz.cy);
            } else if (name == "sizebox") {
                if (detail::ParseRect(value.c_str(), rc)) manager->SetSizeBox(rc);
            } else if (name == "caption") {
                if (detail::ParseRect(value.c_str(), rc)) manager->SetCaptionRect(rc);
            } else if (name == "roundcorner") {
                if (detail::ParseSize(value.c_str(), sz)) manager->SetRoundCorner(sz.cx, sz.cy);
            } else if (name == "mininfo") {
                if (detail::ParseSize(value.c_str(), sz)) manager->SetMinInfo(sz.cx, sz.cy);
            } else if (name == "maxinfo") {
                if (detail::ParseSize(value.c_str(), sz)) manager->SetMaxInfo(sz.cx, sz.cy);
            } else if (name == "alpha") {
                if (detail::ParseInt(value.c_str(), number)) manager->SetTransparent(number);
            } else if (name == "bktrans") {
                manager->SetBackgroundTransparent(detail::ParseBool(value.c_str()));
            } else if (name == "layered") {
                manager->SetLayered(detail::ParseBool(value.c_str()));
            } else if (name == "showdirty") {
                manager->SetShowUpdateRect(detail::ParseBool(value.c_str()));
            } else if (name == "defaultfontcolor") {
                if (detail::ParseColor(value.c_str(), color)) manager->SetDefaultFontColor(color);
            } else if (name == "disabledfontcolor") {
                if (detail::ParseColor(value.c_str(), color)) manager->SetDefaultDisabledColor(color);
            } else if (name == "linkfontcolor") {
                if (detail::ParseColor(value.c_str(), color)) manager->SetDefaultLinkFontColor(color);
            } else if (name == "linkhoverfontcolor") {
                if (detail::ParseColor(value.c_str(), color)) manager->SetDefaultLinkHoverFontColor(color);
            } else if (name == "selectedcolor") {
                if (detail::ParseColor(value.c_str(), color)) manager->SetDefaultSelectedBkColor(color);
            }
        }
    }

    void RegisterResources(const pugi::xml_node& window, CPaintManagerUI* manager) {
        for (const pugi::xml_node& node : window.children()) {
            if (node.type() != pugi::node_element) continue;
            std::string tag = node.name();
            if (tag == "Font") {
                std::wstring face = W(node.attribute("name").value());
                int size = 12;
                if (node.attribute("size")) {
                    int parsed;
                    if (detail::ParseInt(W(node.attribute("size").value()).c_str(), parsed) && parsed > 0) size = parsed;
                }
                bool bold = detail::ParseBool(W(node.attribute("bold").value()).c_str());
                bool underline = detail::ParseBool(W(node.attribute("underline").value()).c_str());
                bool italic = detail::ParseBool(W(node.attribute("italic").value()).c_str());
                manager->AddFont(face.c_str(), size, bold, underline, italic);
                if (detail::ParseBool(W(node.attribute("default").value()).c_str())) {
                    manager->SetDefaultFont(face.c_str(), size, bold, underline, italic);
                }
            } else if (tag == "Image") {
                std::wstring name = W(node.attribute("name").value());
                std::wstring restype = W(node.attribute("restype").value());
                DWORD mask = 0;
                detail::ParseColor(W(node.attribute("mask").value()).c_str(), mask);
                if (!name.empty()) manager->AddImage(name.c_str(), restype.empty() ? nullptr : restype.c_str(), mask);
            } else if (tag == "Default") {
                std::wstring name = W(node.attribute("name").value());
                std::wstring value = W(node.attribute("value").value());
                if (!name.empty()) manager->AddDefaultAttributeList(name.c_str(), value.c_str());
            }
        }
    }

    CControlUI* Parse(const pugi::xml_node& parentNode, CControlUI* parent, CPaintManagerUI* manager,
                      IDialogBuilderCallback* callback) {
        CControlUI* first = nullptr;
        for (const pugi::xml_node& node : parentNode.children()) {
            if (node.type() != pugi::node_element) continue;
            std::string tag = node.name();
            if (IsResourceTag(tag)) continue;
            if (tag == "Include") {
                int count = 1;
                detail::ParseInt(W(node.attribute("count").value()).c_str(), count);
                std::wstring source = W(node.attribute("source").value());
                for (int i = 0; i < count; ++i) {
                    CDialogBuilder included;
                    CControlUI* control = included.Create(source.c_str(), type.empty() ? nullptr : type.c_str(),
                                                          callback, manager, parent);
                    if (!first) first = control;
                }
                continue;
            }
            std::wstring className = W(tag.c_str());
            CControlUI* control = CreateBuiltinControl(className.c_str());
            if (!control && callback) control = callback->CreateControl(className.c_str());
            if (!control) continue;  // unknown tag: skipped with its subtree

            if (node.first_child()) Parse(node, control, manager, callback);

            // Defaults and attributes are applied with the manager attached (for DPI and
            // fonts) but before Init, which happens when the tree is attached.
            if (manager) {
                control->SetManager(manager, control->GetParent(), false);
                if (LPCTSTR defaults = manager->GetDefaultAttributeList(className.c_str())) {
                    control->ApplyAttributeList(defaults);
                }
            }
            for (const pugi::xml_attribute& attribute : node.attributes()) {
                control->SetAttribute(W(attribute.name()).c_str(), W(attribute.value()).c_str());
            }
            if (manager) control->SetManager(nullptr, control->GetParent(), false);

            if (parent) {
                auto* container = static_cast<IContainerUI*>(parent->GetInterface(L"IContainer"));
                if (!container || !container->Add(control)) {
                    delete control;
                    continue;
                }
            }
            if (!first) first = control;
        }
        return first;
    }

    CControlUI* Build(IDialogBuilderCallback* callback, CPaintManagerUI* manager, CControlUI* parent) {
        if (!valid) return nullptr;
        pugi::xml_node root = doc.document_element();
        if (std::string(root.name()) == "Window") {
            if (manager && registeredFor != manager) {
                ApplyWindowAttributes(root, manager);
                RegisterResources(root, manager);
                registeredFor = manager;
            }
            return Parse(root, parent, manager, callback);
        }
        // A layout without a <Window> wrapper is one control tree (row templates).
        return Parse(doc, parent, manager, callback);
    }
};

CDialogBuilder::CDialogBuilder() : impl_(std::make_unique<Impl>()) {}
CDialogBuilder::~CDialogBuilder() = default;

CControlUI* CDialogBuilder::Create(LPCTSTR xml, LPCTSTR type, IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                                   CControlUI* parent) {
    impl_->type = type ? type : L"";
    if (!impl_->Load(xml, type)) return nullptr;
    return impl_->Build(callback, manager, parent);
}

CControlUI* CDialogBuilder::Create(IDialogBuilderCallback* callback, CPaintManagerUI* manager, CControlUI* parent) {
    return impl_->Build(callback, manager, parent);
}

bool CDialogBuilder::IsValid() const { return impl_->valid; }

void CDialogBuilder::GetLastErrorMessage(LPTSTR message, SIZE_T max) const {
    if (!message || max == 0) return;
    wcsncpy(message, impl_->error.c_str(), max - 1);
    message[max - 1] = 0;
}

void CDialogBuilder::GetLastErrorLocation(LPTSTR source, SIZE_T max) const {
    if (!source || max == 0) return;
    wcsncpy(source, impl_->errorLocation.c_str(), max - 1);
    source[max - 1] = 0;
}

CControlUI* CDialogBuilder::CreateBuiltinControl(LPCTSTR className) {
    std::wstring name = className ? className : L"";
    if (name == L"Control") return new CControlUI;
    if (name == L"Container") return new CContainerUI;
    if (name == L"VerticalLayout") return new CVerticalLayoutUI;
    if (name == L"HorizontalLayout") return new CHorizontalLayoutUI;
    if (name == L"TabLayout") return new CTabLayoutUI;
    if (name == L"Label") return new CLabelUI;
    if (name == L"Text") return new CTextUI;
    if (name == L"Button") return new CButtonUI;
    if (name == L"Option") return new COptionUI;
    if (name == L"Edit") return new CEditUI;
    if (name == L"Combo") return new CComboUI;
    if (name == L"List") return new CListUI;
    if (name == L"ListHeader") return new CListHeaderUI;
    if (name == L"ListHeaderItem") return new CListHeaderItemUI;
    if (name == L"ListLabelElement") return new CListLabelElementUI;
    if (name == L"ListContainerElement") return new CListContainerElementUI;
    if (name == L"ScrollBar") return new CScrollBarUI;
    if (name == L"FileIcon") return new CFileIconUI;
    return nullptr;
}

}  // namespace winhush::dui
