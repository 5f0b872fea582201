#include "runtime/stream_adapter.h"

#include <gtest/gtest.h>

#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_array.h"

namespace NUBO {
namespace {

RefPtr<XStream> NewStream(const char* text) {
    XStream* s = nullptr;
    EXPECT_EQ(XStream::Create(&s), 0);
    s->Write(text, uint32_t(strlen(text)), nullptr);
    s->Seek(0, 0);
    return RefPtr<XStream>(s);
}

TEST(StreamAdapter, NativeStreamTravelsAsIStreamAndComesBackItself) {
    RefPtr<XStream> s = NewStream("abcdef");
    XVariant v;
    ASSERT_EQ(XStreamToVariant(&v, s.get()), 0);
    ASSERT_EQ(v.vt, VT_UNKNOWN);
    IStream* com = nullptr;
    ASSERT_EQ(v.punkVal->QueryInterface(IID_IStream, reinterpret_cast<void**>(&com)), S_OK);

    char buf[4];
    ULONG n = 0;
    EXPECT_EQ(com->Read(buf, 4, &n), S_OK);
    EXPECT_EQ(n, 4u);
    LARGE_INTEGER move;
    move.QuadPart = -1;
    ULARGE_INTEGER at;
    EXPECT_EQ(com->Seek(move, STREAM_SEEK_END, &at), S_OK);
    EXPECT_EQ(at.QuadPart, 5u);
    EXPECT_EQ(com->Read(buf, 4, &n), S_OK);
    EXPECT_EQ(com->Read(buf, 4, &n), S_FALSE); // the end
    EXPECT_EQ(n, 0u);
    STATSTG stat;
    EXPECT_EQ(com->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, 6u);
    EXPECT_EQ(stat.pwcsName, nullptr);
    EXPECT_EQ(com->Clone(nullptr), E_NOTIMPL);

    XStream* back = nullptr;
    ASSERT_EQ(XStreamFromVariant(&v, &back), 0);
    EXPECT_EQ(back, s.get());
    back->Release();
    com->Release();
}

TEST(StreamAdapter, ComStreamIsReadThroughTheAdapter) {
    RefPtr<XStream> inner = NewStream("hello");
    XVariant v;
    ASSERT_EQ(XStreamToVariant(&v, inner.get()), 0);
    IStream* com = nullptr;
    ASSERT_EQ(v.punkVal->QueryInterface(IID_IStream, reinterpret_cast<void**>(&com)), S_OK);
    // A COM stream that is not native: the adapter's IStream face, reached without IID_XObject.
    struct Foreign : IStream {
        IStream* to;
        HRESULT QueryInterface(REFIID riid, void** out) override {
            if (riid == IID_IStream || riid == IID_IUnknown) {
                *out = static_cast<IStream*>(this);
                return S_OK;
            }
            *out = nullptr;
            return E_NOINTERFACE;
        }
        ULONG AddRef() override { return 2; }
        ULONG Release() override { return 1; }
        HRESULT Read(void* b, ULONG c, ULONG* r) override { return to->Read(b, c, r); }
        HRESULT Write(const void* d, ULONG c, ULONG* w) override { return to->Write(d, c, w); }
        HRESULT Seek(LARGE_INTEGER m, DWORD o, ULARGE_INTEGER* p) override { return to->Seek(m, o, p); }
        HRESULT SetSize(ULARGE_INTEGER s) override { return to->SetSize(s); }
        HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
        HRESULT Commit(DWORD) override { return E_NOTIMPL; }
        HRESULT Revert() override { return E_NOTIMPL; }
        HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
        HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
        HRESULT Stat(STATSTG* s, DWORD f) override { return to->Stat(s, f); }
        HRESULT Clone(IStream**) override { return E_NOTIMPL; }
    } foreign;
    foreign.to = com;

    XStream* wrapped = nullptr;
    ASSERT_EQ(XStreamFromUnknown(&foreign, &wrapped), 0);
    RefPtr<XStream> held(wrapped);
    EXPECT_NE(wrapped, inner.get());
    int64_t size = 0, at = 0;
    EXPECT_EQ(wrapped->GetSize(&size), 0);
    EXPECT_EQ(size, 5);
    ASSERT_EQ(wrapped->Seek(1, 0), 0);
    EXPECT_EQ(wrapped->GetPosition(&at), 0);
    EXPECT_EQ(at, 1);
    char buf[8];
    uint32_t n = 0;
    EXPECT_EQ(wrapped->Read(buf, 8, &n), 0);
    EXPECT_EQ(std::string(buf, n), "ello");
    TWString type;
    wrapped->GetContentType(&type);
    EXPECT_EQ(std::u16string(type.GetString()), u"application/octet-stream");
    com->Release();
}

TEST(StreamAdapter, OtherValuesAreNoStreams) {
    XStream* s = nullptr;
    XVariant number(5);
    EXPECT_EQ(XStreamFromVariant(&number, &s), XR_NOT_OBJECT);
    VARIANT nullObject;
    VariantInit(&nullObject);
    nullObject.vt = VT_UNKNOWN;
    nullObject.punkVal = nullptr;
    EXPECT_EQ(XStreamFromVariant(&nullObject, &s), 0);
    EXPECT_EQ(s, nullptr);
    XArray* array = nullptr;
    ASSERT_EQ(CreateXArray(&array), 0);
    EXPECT_EQ(XStreamFromUnknown(static_cast<IDispatchEx*>(array), &s), XR_NOT_STREAM);
    array->Release();
}

} // namespace
} // namespace NUBO
