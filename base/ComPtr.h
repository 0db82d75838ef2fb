// Owners for COM objects and the OLE automation values that go with them.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>

#include <utility>

namespace winhush {

// Holds one reference to a COM interface; released with the scope.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            ptr_ = std::exchange(other.ptr_, nullptr);
        }
        return *this;
    }

    T* get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    // For out-parameters: releases what is held and hands out the slot.
    T** put() {
        reset();
        return &ptr_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    IUnknown** put_unknown() { return reinterpret_cast<IUnknown**>(put()); }
    void reset() {
        if (ptr_) std::exchange(ptr_, nullptr)->Release();
    }

    // Another interface of the same object (empty on failure).
    template <class U>
    HRESULT As(REFIID iid, ComPtr<U>& out) const {
        if (!ptr_) return E_POINTER;
        return ptr_->QueryInterface(iid, out.put_void());
    }

private:
    T* ptr_ = nullptr;
};

// A BSTR freed with the scope; empty text gives a null BSTR, which COM reads as "".
class UniqueBstr {
public:
    explicit UniqueBstr(const wchar_t* text) : bstr_(text ? ::SysAllocString(text) : nullptr) {}
    ~UniqueBstr() { ::SysFreeString(bstr_); }
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    BSTR get() const { return bstr_; }

private:
    BSTR bstr_;
};

// A VARIANT cleared with the scope.
class UniqueVariant {
public:
    UniqueVariant() { ::VariantInit(&value_); }
    explicit UniqueVariant(const wchar_t* text) {
        ::VariantInit(&value_);
        value_.vt = VT_BSTR;
        value_.bstrVal = ::SysAllocString(text);
    }
    ~UniqueVariant() { ::VariantClear(&value_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    const VARIANT& get() const { return value_; }

private:
    VARIANT value_;
};

}  // namespace winhush
