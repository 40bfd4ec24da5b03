#include "platform/objects/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "host/codes.h"
#include "host/error.h"
#include "tests/support/shapes.h"

namespace velorin::objects {
namespace {

using velorin::testing::BoundsOf;
using velorin::testing::Box4;

TEST(EnvelopeGeometryTest, ExpandByRatioGrowsAboutTheCentre) {
    auto box = MakeEnvelope(10, 20, 30, 60);
    box->Expand(2, 0.5, true);
    EXPECT_DOUBLE_EQ(box->XMin(), 0);
    EXPECT_DOUBLE_EQ(box->XMax(), 40);
    EXPECT_DOUBLE_EQ(box->YMin(), 30);
    EXPECT_DOUBLE_EQ(box->YMax(), 50);
    box->Expand(5, -100, false);  // by distance, shrinking no further than nothing
    EXPECT_DOUBLE_EQ(box->Width(), 50);
    EXPECT_DOUBLE_EQ(box->Height(), 0);
    EXPECT_DOUBLE_EQ(box->YMin(), 40);
    EXPECT_THROW(box->Expand(-1, 1, true), Error);
    EXPECT_DOUBLE_EQ(box->Width(), 50);
}

TEST(EnvelopeGeometryTest, CenterAtKeepsTheSize) {
    auto box = MakeEnvelope(0, 0, 10, 4);
    box->CenterAt(MakePoint(100, -100));
    EXPECT_DOUBLE_EQ(box->XMin(), 95);
    EXPECT_DOUBLE_EQ(box->XMax(), 105);
    EXPECT_DOUBLE_EQ(box->YMin(), -102);
    EXPECT_DOUBLE_EQ(box->YMax(), -98);
    EXPECT_THROW(box->CenterAt(nullptr), Error);
    EXPECT_THROW(box->CenterAt(MakePoint(std::nan(""), 0)), Error);
    EXPECT_DOUBLE_EQ(box->XMin(), 95);
}

TEST(EnvelopeGeometryTest, SizeSettersKeepTheLowerCorner) {
    auto box = MakeEnvelope(1, 2, 3, 4);
    box->SetWidth(10);
    box->SetHeight(0);
    box->SetDepth(7);
    EXPECT_DOUBLE_EQ(box->XMin(), 1);
    EXPECT_DOUBLE_EQ(box->XMax(), 11);
    EXPECT_DOUBLE_EQ(box->YMax(), 2);
    EXPECT_DOUBLE_EQ(box->Depth(), 7);
    EXPECT_THROW(box->SetWidth(-1), Error);
    EXPECT_THROW(box->SetHeight(std::numeric_limits<double>::infinity()), Error);
    EXPECT_THROW(box->SetDepth(std::nan("")), Error);
    EXPECT_DOUBLE_EQ(box->Width(), 10);
    EXPECT_DOUBLE_EQ(box->Depth(), 7);
}

TEST(EnvelopeGeometryTest, CentroidAndCloneOfAnEnvelope) {
    auto box = MakeEnvelope(0, 0, 10, 4);
    auto centre = box->Centroid();
    EXPECT_DOUBLE_EQ(centre->X(), 5);
    EXPECT_DOUBLE_EQ(centre->Y(), 2);
    auto copy = host::As<host::IEnvelope>(box->Clone());
    ASSERT_NE(copy, nullptr);
    copy->SetWidth(100);
    EXPECT_DOUBLE_EQ(box->Width(), 10);
    EXPECT_THROW(EnvelopeGeometry().Centroid(), Error);
}

TEST(GeometryBagTest, EnvelopeCoversEveryMemberAndIgnoresEmptyOnes) {
    auto bag = std::make_shared<GeometryBag>();
    EXPECT_TRUE(bag->Envelope()->IsEmpty());
    bag->AddGeometry(MakePoint(5, 5));
    bag->AddGeometry(MakePolyline({{{-1, 2}, {3, 9}}}));
    bag->AddGeometry(MakePolygon({}));
    const Box4 box = BoundsOf(bag->Envelope());
    EXPECT_DOUBLE_EQ(box.xMin, -1);
    EXPECT_DOUBLE_EQ(box.yMin, 2);
    EXPECT_DOUBLE_EQ(box.xMax, 5);
    EXPECT_DOUBLE_EQ(box.yMax, 9);
    // A bag added to itself doubles, once.
    bag->AddGeometries(bag);
    EXPECT_EQ(bag->GeometryCount(), 6);
}

TEST(GeometryTest, PolygonAreaAndCentroidSubtractHoles) {
    auto square = MakePolygon({{{0, 0}, {4, 0}, {4, 4}, {0, 4}}, {{1, 1}, {1, 3}, {3, 3}, {3, 1}}});
    EXPECT_DOUBLE_EQ(square->Area(), 12);
    EXPECT_DOUBLE_EQ(square->Centroid()->X(), 2);
    auto clone = host::As<host::IGeometry>(square->Clone());
    ASSERT_NE(clone, nullptr);
    EXPECT_NE(clone, square);
    EXPECT_EQ(clone->GeometryType(), host::esriGeometryPolygon);
}

}  // namespace
}  // namespace velorin::objects
