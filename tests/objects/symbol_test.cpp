#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "host/codes.h"
#include "host/error.h"
#include "platform/objects/symbols.h"

namespace velorin::objects {
namespace {

using host::As;

class Symbols : public ::testing::Test {
  protected:
    std::shared_ptr<HostContext> m_context = std::make_shared<HostContext>();
};

TEST_F(Symbols, NewObjectsCarryTheHostDefaults) {
    auto marker = std::make_shared<SimpleMarkerSymbol>(m_context);
    EXPECT_EQ(marker->Style(), host::esriSMSCircle);
    EXPECT_EQ(marker->Size(), 8.0);
    EXPECT_EQ(marker->ROP2(), host::esriROPCopyPen);
    EXPECT_EQ(marker->Color()->RGB(), 0);

    auto line = std::make_shared<SimpleLineSymbol>(m_context);
    EXPECT_EQ(line->Style(), host::esriSLSSolid);
    EXPECT_EQ(line->Width(), 1.0);
    EXPECT_EQ(line->ROP2(), host::esriROPCopyPen);

    auto fill = std::make_shared<SimpleFillSymbol>(m_context);
    EXPECT_EQ(fill->Style(), host::esriSFSSolid);
    EXPECT_EQ(fill->Color()->RGB(), 128 | (128 << 8) | (128 << 16));
    ASSERT_NE(fill->Outline(), nullptr);
    EXPECT_EQ(fill->Outline()->Width(), 1.0);
    EXPECT_EQ(fill->Outline()->Color()->RGB(), 0);
}

TEST_F(Symbols, RgbPacksRedInTheLowByte) {
    auto color = MakeRgbColor(m_context, 50, 50, 175);
    EXPECT_EQ(color->RGB(), 50 | (50 << 8) | (175 << 16));
    color->SetGreen(1);
    EXPECT_EQ(color->RGB(), 50 | (1 << 8) | (175 << 16));
}

TEST_F(Symbols, ColourComponentOutOfRangeRaisesAndChangesNothing) {
    auto color = MakeRgbColor(m_context, 10, 20, 30);
    for (std::int32_t bad : {-1, 256}) {
        EXPECT_THROW(color->SetRed(bad), Error);
        EXPECT_THROW(color->SetGreen(bad), Error);
        EXPECT_THROW(color->SetBlue(bad), Error);
    }
    EXPECT_EQ(color->Red(), 10);
    EXPECT_EQ(color->Green(), 20);
    EXPECT_EQ(color->Blue(), 30);
    EXPECT_THROW(MakeRgbColor(m_context, 0, 300, 0), Error);
}

TEST_F(Symbols, ColourCloneIsIndependent) {
    auto color = MakeRgbColor(m_context, 10, 20, 30);
    auto copy = As<host::IRgbColor>(color->Clone());
    ASSERT_NE(copy, nullptr);
    copy->SetRed(99);
    EXPECT_EQ(color->Red(), 10);
    EXPECT_EQ(copy->Green(), 20);
}

TEST_F(Symbols, SettersKeepTheColourObjectGiven) {
    auto color = MakeRgbColor(m_context, 1, 2, 3);
    auto marker = std::make_shared<SimpleMarkerSymbol>(m_context);
    marker->SetColor(color);
    EXPECT_EQ(marker->Color(), color);
    color->SetRed(200);
    EXPECT_EQ(marker->Color()->RGB() & 0xFF, 200);
}

TEST_F(Symbols, CloneSharesNeitherColourNorOutline) {
    auto fill = std::make_shared<SimpleFillSymbol>(m_context);
    fill->SetColor(MakeRgbColor(m_context, 1, 2, 3));
    fill->SetStyle(host::esriSFSCross);
    fill->SetROP2(host::esriROPNotXOrPen);
    auto copy = As<host::ISimpleFillSymbol>(fill->Clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Style(), host::esriSFSCross);
    EXPECT_EQ(As<host::ISymbol>(copy)->ROP2(), host::esriROPNotXOrPen);
    EXPECT_NE(copy->Color(), fill->Color());
    EXPECT_EQ(copy->Color()->RGB(), fill->Color()->RGB());
    EXPECT_NE(copy->Outline(), fill->Outline());
    EXPECT_NE(copy->Outline()->Color(), fill->Outline()->Color());

    As<host::IRgbColor>(copy->Color())->SetRed(250);
    copy->Outline()->SetWidth(5);
    EXPECT_EQ(As<host::IRgbColor>(fill->Color())->Red(), 1);
    EXPECT_EQ(fill->Outline()->Width(), 1.0);
}

TEST_F(Symbols, PictureMarkerIsAMarkerButNotASimpleOne) {
    std::shared_ptr<host::ISymbol> picture = std::make_shared<PictureMarkerSymbol>(m_context);
    EXPECT_NE(As<host::IMarkerSymbol>(picture), nullptr);
    EXPECT_EQ(As<host::ISimpleMarkerSymbol>(picture), nullptr);
    EXPECT_EQ(As<host::ISimpleLineSymbol>(picture), nullptr);
    EXPECT_EQ(As<host::ISimpleFillSymbol>(picture), nullptr);
}

// Every setter refuses what it cannot keep, and the symbol is left as it was.
struct BadSetting {
    const char* name;
    std::function<std::shared_ptr<host::ISymbol>(std::shared_ptr<HostContext>)> make;
    std::function<void(host::ISymbol&)> apply;
    std::function<double(const host::ISymbol&)> read;
    std::int32_t code;
};

class SymbolSettersRefuse : public ::testing::TestWithParam<BadSetting> {};

TEST_P(SymbolSettersRefuse, WithTheirCodeAndNoChange) {
    const BadSetting& setting = GetParam();
    auto symbol = setting.make(std::make_shared<HostContext>());
    const double before = setting.read(*symbol);
    try {
        setting.apply(*symbol);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), setting.code);
        EXPECT_FALSE(error.Description().empty());
    }
    EXPECT_EQ(setting.read(*symbol), before);
}

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

template <class S>
std::shared_ptr<host::ISymbol> Make(std::shared_ptr<HostContext> context) {
    return std::make_shared<S>(std::move(context));
}
template <class I>
I& Cast(host::ISymbol& symbol) {
    return dynamic_cast<I&>(symbol);
}
template <class I>
const I& Cast(const host::ISymbol& symbol) {
    return dynamic_cast<const I&>(symbol);
}

double MarkerStyle(const host::ISymbol& s) { return Cast<host::ISimpleMarkerSymbol>(s).Style(); }
double LineStyleOf(const host::ISymbol& s) { return Cast<host::ISimpleLineSymbol>(s).Style(); }
double FillStyleOf(const host::ISymbol& s) { return Cast<host::ISimpleFillSymbol>(s).Style(); }
double MarkerSize(const host::ISymbol& s) { return Cast<host::IMarkerSymbol>(s).Size(); }
double LineWidth(const host::ISymbol& s) { return Cast<host::ILineSymbol>(s).Width(); }
double Rop(const host::ISymbol& s) { return s.ROP2(); }
double LineColour(const host::ISymbol& s) { return Cast<host::ILineSymbol>(s).Color()->RGB(); }

INSTANTIATE_TEST_SUITE_P(
    Settings, SymbolSettersRefuse,
    ::testing::Values(BadSetting{"MarkerStyle5", Make<SimpleMarkerSymbol>,
                                 [](auto& s) { Cast<host::ISimpleMarkerSymbol>(s).SetStyle(5); },
                                 MarkerStyle, host::E_HOST_INVALIDARG},
                      BadSetting{"LineStyleMinus1", Make<SimpleLineSymbol>,
                                 [](auto& s) { Cast<host::ISimpleLineSymbol>(s).SetStyle(-1); },
                                 LineStyleOf, host::E_HOST_INVALIDARG},
                      BadSetting{"LineStyle7", Make<SimpleLineSymbol>,
                                 [](auto& s) { Cast<host::ISimpleLineSymbol>(s).SetStyle(7); },
                                 LineStyleOf, host::E_HOST_INVALIDARG},
                      BadSetting{"FillStyle8", Make<SimpleFillSymbol>,
                                 [](auto& s) { Cast<host::ISimpleFillSymbol>(s).SetStyle(8); },
                                 FillStyleOf, host::E_HOST_INVALIDARG},
                      BadSetting{"NegativeMarkerSize", Make<SimpleMarkerSymbol>,
                                 [](auto& s) { Cast<host::IMarkerSymbol>(s).SetSize(-1); },
                                 MarkerSize, host::E_HOST_INVALIDARG},
                      BadSetting{"NaNMarkerSize", Make<SimpleMarkerSymbol>,
                                 [](auto& s) { Cast<host::IMarkerSymbol>(s).SetSize(NaN); },
                                 MarkerSize, host::E_HOST_INVALIDARG},
                      BadSetting{"NaNPictureSize", Make<PictureMarkerSymbol>,
                                 [](auto& s) { Cast<host::IMarkerSymbol>(s).SetSize(NaN); },
                                 MarkerSize, host::E_HOST_INVALIDARG},
                      BadSetting{"InfiniteLineWidth", Make<SimpleLineSymbol>,
                                 [](auto& s) { Cast<host::ILineSymbol>(s).SetWidth(Inf); },
                                 LineWidth, host::E_HOST_INVALIDARG},
                      BadSetting{"RasterOp0", Make<SimpleFillSymbol>, [](auto& s) { s.SetROP2(0); },
                                 Rop, host::E_HOST_INVALIDARG},
                      BadSetting{"RasterOp17", Make<SimpleLineSymbol>,
                                 [](auto& s) { s.SetROP2(17); }, Rop, host::E_HOST_INVALIDARG},
                      BadSetting{"EmptyColour", Make<SimpleLineSymbol>,
                                 [](auto& s) { Cast<host::ILineSymbol>(s).SetColor(nullptr); },
                                 LineColour, host::E_HOST_POINTER}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(Symbols, InjectedFaultSurfacesWithItsCode) {
    auto marker = std::make_shared<SimpleMarkerSymbol>(m_context);
    m_context->faults.FailAt("IMarkerSymbol::Size", 1, host::E_HOST_FAIL, "size refused");
    try {
        marker->SetSize(12);
        FAIL();
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), host::E_HOST_FAIL);
        EXPECT_EQ(error.Description(), "size refused");
    }
    EXPECT_EQ(marker->Size(), 8.0);
}

}  // namespace
}  // namespace velorin::objects
