#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Map documents written as they are produced, so that saving a map with a
// legend of a million values costs a buffer, not a second copy of the legend.
// Internal to platform/gdal.
namespace velorin::gdal {

// Text as a message can quote it: valid UTF-8 as it is, any other byte and control
// characters as \xHH; cut with "..." after about limit bytes.
std::string ShownText(std::string_view text, std::size_t limit = std::string_view::npos);

// Whether JSON writes text as it is, in quotes: printable ASCII without quotes or
// backslashes. Such text is always valid UTF-8.
bool IsPlainText(std::string_view text);

// Writes one JSON value in the layout of map documents: two-space indentation, one
// member or element a line, except that an array whose first element is a plain
// value (colours, selections) is written on one line. Members and elements are
// written in the order they are given; the caller keeps the nesting right.
//
// The text reaches the sink in pieces of at most 64 KiB (a longer string on its
// own), and the rest at Finish; an exception from the sink passes through.
class JsonWriter {
  public:
    using Sink = std::function<void(std::string_view)>;

    // Raised by String for text that is not valid UTF-8: JSON cannot hold it.
    struct InvalidText {
        std::string place;  // where it was to go: "layers[1].renderer.values[3].value"
        std::string shown;  // ShownText of it, cut
    };

    explicit JsonWriter(Sink sink);
    ~JsonWriter() = default;
    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;
    JsonWriter(JsonWriter&&) = delete;
    JsonWriter& operator=(JsonWriter&&) = delete;

    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    // The name of the next member of the object being written: the format's own
    // names, text that outlives the writer (a fault's place quotes it).
    void Key(std::string_view name);

    void String(std::string_view text);
    void Number(double value);
    void Integer(std::int64_t value);
    void Bool(bool value);
    void Null();

    // Ends the text with a line break and hands the rest to the sink.
    void Finish();

  private:
    struct Level {
        bool object = false;
        bool flat = false;
        std::size_t count = 0;   // members or elements begun
        std::string_view key{};  // the member being written (objects)
    };

    // Separates and indents the value about to be written.
    void BeforeValue(bool plain);
    // Where the next size bytes (at most the buffer's capacity) go; hands the
    // buffer on first when they would not fit.
    char* Room(std::size_t size) {
        if (size > m_buffer.size() - m_used) Flush(size);
        return m_buffer.data() + m_used;
    }
    void Put(std::string_view text);
    // A line break and the indentation of the current level.
    void NewLine();
    // Hands on what the buffer holds; makes the buffer at the first write, and room
    // for size bytes.
    void Flush(std::size_t size = 0);
    std::string Place() const;

    Sink m_sink;
    std::string m_buffer;  // made at the first write: a check that writes nothing costs none
    std::size_t m_used = 0;
    std::vector<Level> m_levels;
};

}  // namespace velorin::gdal
