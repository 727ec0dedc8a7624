#include "xml/xmllite_reader.h"

#include <algorithm>
#include <cstring>

#include "xml/xml_errors.h"

namespace Pegasus {
namespace xml {

namespace {

using CreateXmlReaderFunction = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

CreateXmlReaderFunction createXmlReader() {
    static const CreateXmlReaderFunction function = [] {
        // By bare name the host's own directory comes first, where any file of that name would
        // be run inside the host; the system's copy is the only one wanted.
        HMODULE library = LoadLibraryExW(L"xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        return library == nullptr
                   ? nullptr
                   : reinterpret_cast<CreateXmlReaderFunction>(
                         reinterpret_cast<void*>(GetProcAddress(library, "CreateXmlReader")));
    }();
    return function;
}

}  // namespace

// The document as XmlLite reads it. XmlLite holds a reference, so it is
// reference counted like any COM object.
class FeedStream final : public ISequentialStream {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (id == __uuidof(IUnknown) || id == __uuidof(ISequentialStream)) {
            *object = static_cast<ISequentialStream*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override {
        ULONG copied = static_cast<ULONG>(std::min<size_t>(size, bytes_.size() - offset_));
        std::memcpy(buffer, bytes_.data() + offset_, copied);
        offset_ += copied;
        if (read != nullptr) *read = copied;
        return copied > 0 ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }

    void append(const char* data, size_t size) { bytes_.append(data, size); }

  private:
    ULONG references_ = 1;
    std::string bytes_;
    size_t offset_ = 0;
};

XmlLiteReader::XmlLiteReader() {
    CreateXmlReaderFunction create = createXmlReader();
    if (create == nullptr ||
        FAILED(create(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader_), nullptr))) {
        throwXmlError(XmlError::Malformed, 1);
    }
    reader_->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
    // XmlLite's own depth limit (256 by default) would refuse, as malformed, a document nested
    // exactly as deep as ours allows; the markup scan enforces ours, with its own text.
    reader_->SetProperty(XmlReaderProperty_MaxElementDepth, 0);
    stream_ = new FeedStream();
    reader_->SetInput(stream_);
}

XmlLiteReader::~XmlLiteReader() {
    if (reader_ != nullptr) reader_->Release();
    if (stream_ != nullptr) stream_->Release();
}

void XmlLiteReader::append(const char* data, std::size_t size) { stream_->append(data, size); }

std::string utf8(const wchar_t* text, UINT length) {
    if (length == 0) return std::string();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr,
                                    nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &out[0], bytes, nullptr,
                        nullptr);
    return out;
}

}  // namespace xml
}  // namespace Pegasus
