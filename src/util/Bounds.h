#pragma once
// The range and first-start value of one numeric setting of a tool. Each tool
// declares its own beside its inputs; the window's spin boxes, the settings
// defaults and the command line's parsing and help all read them there.
namespace QuillTPU {

template <typename T> struct Bounds {
    // A default outside its range is a mistake the compiler reports.
    consteval Bounds(T low, T high, T initial)
        : minimum(low), maximum(high), defaultValue(initial) {
        if (!(low <= initial && initial <= high))
            throw "a default must lie within its range";
    }
    T minimum;
    T maximum;
    T defaultValue;
};

} // namespace QuillTPU
