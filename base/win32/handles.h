// Owners for GDI objects, device contexts, kernel handles and COM objects: each is released
// once, in its destructor, on every path.
#pragma once

#include <windows.h>

#include <utility>

namespace base::win32 {

template <typename Handle, auto Release>
class Owned {
  public:
    Owned() = default;
    explicit Owned(Handle handle) : handle_(handle) {}
    ~Owned() { reset(); }
    Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, Handle{})) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.handle_, Handle{}));
        }
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const {
        return handle_ != Handle{} && handle_ != INVALID_HANDLE_VALUE;
    }
    void reset(Handle handle = Handle{}) {
        if (*this) {
            Release(handle_);
        }
        handle_ = handle;
    }

  private:
    Handle handle_{};
};

inline void DeleteGdiObject(HGDIOBJ object) {
    DeleteObject(object);
}
inline void DeleteMemoryDc(HDC dc) {
    DeleteDC(dc);
}
inline void CloseKernelHandle(HANDLE handle) {
    CloseHandle(handle);
}
inline void FreePages(void* pages) {
    VirtualFree(pages, 0, MEM_RELEASE);
}

using OwnedFont = Owned<HFONT, DeleteGdiObject>;
using OwnedBitmap = Owned<HBITMAP, DeleteGdiObject>;
using OwnedBrush = Owned<HBRUSH, DeleteGdiObject>;
using OwnedPen = Owned<HPEN, DeleteGdiObject>;
using OwnedMemoryDc = Owned<HDC, DeleteMemoryDc>;
using OwnedFile = Owned<HANDLE, CloseKernelHandle>;
using OwnedMutex = Owned<HANDLE, CloseKernelHandle>;
using OwnedProcess = Owned<HANDLE, CloseKernelHandle>;
using OwnedPages = Owned<void*, FreePages>;  // from VirtualAlloc

// One reference to a COM object, released once.
template <typename Interface>
class ComPtr {
  public:
    ComPtr() = default;
    explicit ComPtr(Interface* object) : object_(object) {}  // takes over that reference
    ~ComPtr() { reset(); }
    ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.object_, nullptr));
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    Interface* get() const { return object_; }
    Interface* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    void reset(Interface* object = nullptr) {
        Interface* previous = std::exchange(object_, object);
        if (previous != nullptr) {
            previous->Release();
        }
    }

  private:
    Interface* object_ = nullptr;
};

// Selects an object into a DC for the scope, then puts the previous one back.
class Selection {
  public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~Selection() { SelectObject(dc_, previous_); }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

class PaintScope {
  public:
    explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
    ~PaintScope() { EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC Dc() const { return dc_; }

  private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

class WindowDc {
  public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() { ReleaseDC(window_, dc_); }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Dc() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

}  // namespace base::win32
