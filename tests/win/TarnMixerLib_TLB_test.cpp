// The component wrapper against a scripted IDispatch: what goes over the
// wire (flags, named argument, types, locale) and how failures come back.
#include "volume/TarnMixerLib_TLB.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <map>
#include <vector>

namespace {

struct Call {
    DISPID id;
    WORD flags;
    LCID lcid;
    UINT args;
    UINT named;
    DISPID namedId;
    VARTYPE type;
    LONG value;
};

class ScriptedDispatch : public IDispatch {
public:
    std::vector<Call> calls;
    std::map<DISPID, VARIANT> answers;  // what a get returns
    HRESULT failWith = S_OK;            // returned by every Invoke when set
    const wchar_t* description = nullptr;
    LONG refs = 1;

    ~ScriptedDispatch()
    {
        for (auto& a : answers)
            VariantClear(&a.second);
    }

    void Answer(DISPID id, VARTYPE type, LONG value)
    {
        VARIANT v;
        VariantInit(&v);
        v.vt = type;
        if (type == VT_I2)
            v.iVal = static_cast<SHORT>(value);
        else if (type == VT_BOOL)
            v.boolVal = static_cast<VARIANT_BOOL>(value);
        else
            v.lVal = value;
        answers[id] = v;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* p,
                                     VARIANT* result, EXCEPINFO* info, UINT*) override
    {
        Call c{id,
               flags,
               lcid,
               p->cArgs,
               p->cNamedArgs,
               p->cNamedArgs ? p->rgdispidNamedArgs[0] : 0,
               VT_EMPTY,
               0};
        if (p->cArgs == 1) {
            c.type = p->rgvarg[0].vt;
            c.value = c.type == VT_I2     ? p->rgvarg[0].iVal
                      : c.type == VT_BOOL ? p->rgvarg[0].boolVal
                                          : p->rgvarg[0].lVal;
        }
        calls.push_back(c);
        if (failWith != S_OK) {
            if (failWith != DISP_E_EXCEPTION) return failWith;
            info->scode = E_FAIL;
            info->bstrSource = SysAllocString(L"TarnMixer");
            info->bstrDescription = description ? SysAllocString(description) : nullptr;
            return DISP_E_EXCEPTION;
        }
        if (flags == DISPATCH_PROPERTYGET && answers.count(id))
            return VariantCopy(result, &answers[id]);
        return S_OK;
    }
};

class WrapperTest : public ::testing::Test {
protected:
    ComApartment com;
    ScriptedDispatch fake;
};

TEST_F(WrapperTest, PutsCarryOneNamedArgumentOfTheDeclaredType)
{
    {
        TAudioMixer mixer(&fake);
        mixer.setDevOutput(3);
        mixer.setSrcOutput(-2);
        mixer.setSrcVolume(65535);
        mixer.setSrcMute(true);
        mixer.setTimerEnabled(false);
        mixer.setTimerInterval(80);
        EXPECT_EQ(fake.refs, 2);
    }
    EXPECT_EQ(fake.refs, 1);  // released with the wrapper

    struct Expect {
        DISPID id;
        VARTYPE type;
        LONG value;
    };
    const Expect expected[] = {{28, VT_I2, 3},
                               {34, VT_I2, -2},
                               {38, VT_I4, 65535},
                               {39, VT_BOOL, VARIANT_TRUE},
                               {27, VT_BOOL, VARIANT_FALSE},
                               {26, VT_I2, 80}};
    ASSERT_EQ(fake.calls.size(), std::size(expected));
    for (size_t i = 0; i < fake.calls.size(); ++i) {
        const Call& c = fake.calls[i];
        EXPECT_EQ(c.id, expected[i].id);
        EXPECT_EQ(c.flags, DISPATCH_PROPERTYPUT);
        EXPECT_EQ(c.lcid, 0u);
        EXPECT_EQ(c.args, 1u);
        EXPECT_EQ(c.named, 1u);
        EXPECT_EQ(c.namedId, DISPID_PROPERTYPUT);
        EXPECT_EQ(c.type, expected[i].type) << "dispid " << c.id;
        EXPECT_EQ(c.value, expected[i].value) << "dispid " << c.id;
    }
}

TEST_F(WrapperTest, GetsTakeNoArgumentsAndConvertTheAnswer)
{
    fake.Answer(22, VT_BOOL, VARIANT_TRUE);
    fake.Answer(23, VT_I4, 1);  // any non-zero value counts as true
    fake.Answer(39, VT_BOOL, 0);
    fake.Answer(28, VT_I2, 1);
    fake.Answer(29, VT_I4, 2);  // converted to the declared 16 bits
    fake.Answer(35, VT_I2, 4);
    fake.Answer(38, VT_I4, 12345);
    VARIANT name;
    VariantInit(&name);
    name.vt = VT_BSTR;
    name.bstrVal = SysAllocString(L"Master Volume \x00e9");
    fake.answers[36] = name;

    TAudioMixer mixer(&fake);
    EXPECT_TRUE(mixer.devOutputValid());
    EXPECT_TRUE(mixer.srcOutputValid());
    EXPECT_FALSE(mixer.srcMute());
    EXPECT_EQ(mixer.devOutput(), 1);
    EXPECT_EQ(mixer.devOutputMax(), 2);
    EXPECT_EQ(mixer.srcOutputCount(), 4);
    EXPECT_EQ(mixer.srcVolume(), 12345);
    std::string expectedName = "Master Volume ";
    char e = 0;
    WideCharToMultiByte(CP_ACP, 0, L"\x00e9", 1, &e, 1, nullptr, nullptr);
    EXPECT_EQ(mixer.srcOutputName(), expectedName + e);
    EXPECT_FALSE(mixer.hasMicMute()) << "a component that knows no names has no microphones";
    for (const Call& c : fake.calls) {
        EXPECT_EQ(c.flags, DISPATCH_PROPERTYGET);
        EXPECT_EQ(c.args, 0u);
        EXPECT_EQ(c.named, 0u);
        EXPECT_EQ(c.lcid, 0u);
    }
}

TEST_F(WrapperTest, FailuresThrowWithTheComponentsText)
{
    TAudioMixer mixer(&fake);
    fake.failWith = DISP_E_EXCEPTION;
    fake.description = L"Line index 9 is out of range";
    try {
        mixer.setSrcOutput(9);
        FAIL() << "no exception";
    } catch (const ComError& e) {
        EXPECT_STREQ(e.what(), "Line index 9 is out of range");
        EXPECT_EQ(e.hr(), E_FAIL);
    }

    fake.description = nullptr;  // no description: the system's text for the code
    try {
        mixer.srcVolume();
        FAIL() << "no exception";
    } catch (const ComError& e) {
        EXPECT_EQ(e.hr(), E_FAIL);
        EXPECT_FALSE(std::string(e.what()).empty());
    }

    fake.failWith = DISP_E_MEMBERNOTFOUND;
    EXPECT_THROW(mixer.devOutputMax(), ComError);
    EXPECT_EQ(fake.refs, 2);  // nothing leaked or over-released on the way
}

}  // namespace
