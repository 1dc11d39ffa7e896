// COM helpers of the DCOM transport: owned pointers, strings, VARIANTs, apartments, proxy security.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oaidl.h>

#include <string>

#include "platform/values.h"

namespace qv::management::dcom {

// An owned COM interface pointer.
template <class T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ComRef& operator=(ComRef&& o) noexcept {
        if (this != &o) {
            reset();
            p_ = o.p_;
            o.p_ = nullptr;
        }
        return *this;
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** put() {
        reset();
        return &p_;
    }
    void reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

// Owning wrappers for the COM value types.
struct Variant {
    VARIANT v;
    Variant() { VariantInit(&v); }
    ~Variant() { VariantClear(&v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

class Bstr {
public:
    explicit Bstr(const std::string& utf8);
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return b_; }
    // Hands the string over (to a VARIANT that frees it).
    BSTR release() {
        BSTR b = b_;
        b_ = nullptr;
        return b;
    }

private:
    BSTR b_;
};

// COM for the process: the thread that makes it joins a single-threaded apartment, and the
// process's security defaults are set, for as long as it lives. Made before any transport.
class ProcessCom {
public:
    ProcessCom();
    ~ProcessCom();
    ProcessCom(const ProcessCom&) = delete;
    ProcessCom& operator=(const ProcessCom&) = delete;

private:
    bool ready_ = false;  // this object initialised COM and releases it
};

// Makes the calling thread a member of the multithreaded apartment for its lifetime in scope.
class MultithreadedApartment {
public:
    MultithreadedApartment() : ready_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
    ~MultithreadedApartment() {
        if (ready_) CoUninitialize();
    }
    MultithreadedApartment(const MultithreadedApartment&) = delete;
    MultithreadedApartment& operator=(const MultithreadedApartment&) = delete;

private:
    bool ready_;
};

// A worker thread joins the multithreaded apartment until it leaves, so that connections are
// made and used on any worker. Joins nest (each transport of a worker joins): only the outermost
// join and leave call COM.
void joinWorkerApartment();
void leaveWorkerApartment();

// Sets the security every proxy to the management service uses; S_OK for an object inside the
// process, which has no proxy.
HRESULT secureProxy(IUnknown* proxy);

// The error number and its text.
PlatformError errorOf(HRESULT hr);

}  // namespace qv::management::dcom
