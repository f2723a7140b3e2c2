#include "host/PngWriter.h"

// The encoder's class and format ids are defined in this file.
#include <initguid.h>
#include <windows.h>
#include <wincodec.h>

namespace hostkit {

namespace {

// Holds one reference to a COM object and releases it.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (object_) object_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T* operator->() const { return object_; }
  T* Get() const { return object_; }
  T** Out() { return &object_; }

 private:
  T* object_ = nullptr;
};

// COM on the calling thread for the scope, whatever the thread had before.
class ComScope {
 public:
  ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  // Usable also when the thread had entered another apartment before.
  bool Usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT result_;
};

// Lays the pixels out for the encoder and has it write them to path.
bool Encode(const WCHAR* path, int width, int height, const std::vector<uint32_t>& pixels, bool withAlpha) {
  // Pixels in memory are B, G, R, A bytes; without alpha the encoder gets B, G, R.
  const int stride = withAlpha ? width * 4 : (width * 3 + 3) & ~3;
  std::vector<uint8_t> bytes((size_t)stride * height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = &bytes[(size_t)y * stride];
    for (int x = 0; x < width; ++x) {
      uint32_t p = pixels[(size_t)y * width + x];
      uint8_t* out = row + (size_t)x * (withAlpha ? 4 : 3);
      out[0] = (uint8_t)p;
      out[1] = (uint8_t)(p >> 8);
      out[2] = (uint8_t)(p >> 16);
      if (withAlpha) out[3] = (uint8_t)(p >> 24);
    }
  }

  ComScope com;
  if (!com.Usable()) return false;
  ComRef<IWICImagingFactory> factory;
  ComRef<IWICStream> stream;
  ComRef<IWICBitmapEncoder> encoder;
  ComRef<IWICBitmapFrameEncode> frame;
  ComRef<IPropertyBag2> options;
  const WICPixelFormatGUID wanted = withAlpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
  WICPixelFormatGUID format = wanted;
  bool written =
      SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                 reinterpret_cast<void**>(factory.Out()))) &&
      SUCCEEDED(factory->CreateStream(stream.Out())) &&
      SUCCEEDED(stream->InitializeFromFilename(path, GENERIC_WRITE)) &&
      SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Out())) &&
      SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
      SUCCEEDED(encoder->CreateNewFrame(frame.Out(), options.Out())) && SUCCEEDED(frame->Initialize(options.Get())) &&
      SUCCEEDED(frame->SetSize(width, height)) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
      // The encoder may offer another format instead; the bytes are laid out for this one only.
      IsEqualGUID(format, wanted) &&
      SUCCEEDED(frame->WritePixels(height, stride, (UINT)bytes.size(), bytes.data())) &&
      SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
  return written;
}

}  // namespace

bool WritePng(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels, bool withAlpha) {
  if (width <= 0 || height <= 0 || pixels.size() < (size_t)width * height) return false;
  WCHAR widePath[MAX_PATH * 2];
  if (!MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH * 2)) return false;
  if (Encode(widePath, width, height, pixels, withAlpha)) return true;
  DeleteFileW(widePath);  // no half-written picture is left behind
  return false;
}

}  // namespace hostkit
