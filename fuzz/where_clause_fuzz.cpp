// Where clauses as the reference host evaluates them. The input is a clause, or a
// definition query and a clause on two lines, over a table holding the values
// that break comparisons (extremes, -0, NaN, the smallest single, quotes, dates
// at the ends of the calendar, nulls). Promises checked:
//   - a clause compiles or raises velorin::Error, nothing else;
//   - the rows found through a field's hash index are the rows a full scan finds;
//   - no row satisfies both a clause and its negation (three-valued logic).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "host/codes.h"
#include "host/error.h"
#include "host/field_value.h"
#include "platform/memory/feature_class.h"
#include "platform/memory/row_store.h"
#include "platform/memory/where_clause.h"
#include "platform/objects/host_context.h"

namespace velorin::fuzz {
namespace {

using host::Date;
using host::FieldValue;

const memory::RowStore& Store() {
    static const std::shared_ptr<memory::RowStore> store = [] {
        auto context = std::make_shared<objects::HostContext>();
        auto fields = memory::MakeFields(context,
                                         {{"Small", host::esriFieldTypeSmallInteger, {}},
                                          {"Count", host::esriFieldTypeInteger, {}},
                                          {"Area", host::esriFieldTypeSingle, {}},
                                          {"Flow", host::esriFieldTypeDouble, {}},
                                          {"Name", host::esriFieldTypeString, {}},
                                          {"Born", host::esriFieldTypeDate, {}},
                                          {"my key", host::esriFieldTypeString, {}},
                                          {"Data", host::esriFieldTypeBlob, {}}},
                                         true, false);
        auto result = std::make_shared<memory::RowStore>(context, fields, false);
        const FieldValue null;
        const float singleMax = std::numeric_limits<float>::max();
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const std::vector<std::vector<FieldValue>> rows = {
            {std::int16_t{0}, 0, 0.0F, -0.0, "", Date{0.0}, "a", null},
            {std::int16_t{-1}, 100000, 0.1F, 0.1, "O'Brien", host::MakeDate(2003, 1, 29), "", null},
            {std::int16_t{32767}, std::numeric_limits<std::int32_t>::max(), singleMax, 1e308,
             "x' OR 'a'='a", host::MakeDate(1899, 12, 30, 12), null, null},
            {std::int16_t{-32768}, std::numeric_limits<std::int32_t>::min(), -0.0F,
             0.30000000000000004, "NerroID", null, "b", null},
            {null, null, null, null, null, null, null, null},
            {std::int16_t{7}, 7, 7.0F, 7.0, "7", host::MakeDate(2020, 2, 29, 23, 59, 59), "7",
             null},
            {std::int16_t{1}, 1, std::numeric_limits<float>::denorm_min(), 5e-324, "\xC3\xA9",
             Date{-657434.0}, " ", null},
            {std::int16_t{2}, 100000, 100000.0F, 100000.0, "100000", Date{2958465.99999}, "100000",
             null},
            {std::int16_t{3}, -7, -singleMax, nan, "a\"b", Date{1e300}, "it's", null},
            {std::int16_t{7}, 7, 7.0F, 1.0000000000000002, "7 ", Date{-1e-9}, "7", null},
        };
        for (const auto& row : rows) {
            try {
                result->Add(row, nullptr);
            } catch (const Error&) {
                // A value the store refuses (NaN, a date it cannot hold) is left out.
            }
        }
        return result;
    }();
    return *store;
}

// The compiled clause, or nothing when the text is not one the host evaluates.
std::optional<memory::WhereClause> Compile(std::string_view text) {
    try {
        return Store().Compile(text);
    } catch (const Error&) {
        return std::nullopt;
    }
}

}  // namespace
}  // namespace velorin::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    velorin::fuzz::Store();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velorin::fuzz;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = input.find('\n');
    const std::string_view text =
        newline == std::string_view::npos ? input : input.substr(newline + 1);

    const auto clause = Compile(text);
    if (!clause) return 0;
    const velorin::memory::RowStore& store = Store();

    velorin::memory::WhereClause searched = *clause;
    if (newline != std::string_view::npos) {
        const auto definition = Compile(input.substr(0, newline));
        if (!definition) return 0;
        searched = velorin::memory::WhereClause::Both(*definition, *clause);
    }
    Require(store.Find(searched) == store.Scan(searched),
            "the index and a full scan select the same rows");

    if (const auto negation = Compile("NOT (" + std::string(text) + ")")) {
        for (const std::size_t position : store.Scan(*clause)) {
            Require(!negation->Matches(store.At(position).values),
                    "no row satisfies a clause and its negation");
        }
    }
    return 0;
}
