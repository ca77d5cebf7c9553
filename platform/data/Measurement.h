#pragma once

#include <string>

namespace zestrel::platform {

// A unit of a dimension, converted linearly to the dimension's base unit: a value in this
// unit times `coefficient` is the value in the base unit.
struct Dimension {
    std::string symbol;
    double coefficient = 1;
    bool operator==(const Dimension& other) const {
        return symbol == other.symbol && coefficient == other.coefficient;
    }
};

// `UnitInformationStorage`: amounts of data; the base unit is the byte.
struct UnitInformationStorage : Dimension {
    static UnitInformationStorage baseUnit() { return bytes(); }
    static UnitInformationStorage bits() { return {{"bit", 0.125}}; }
    static UnitInformationStorage bytes() { return {{"B", 1}}; }
    static UnitInformationStorage kilobits() { return {{"kb", 125}}; }
    static UnitInformationStorage kilobytes() { return {{"kB", 1e3}}; }
    static UnitInformationStorage megabytes() { return {{"MB", 1e6}}; }
    static UnitInformationStorage gigabytes() { return {{"GB", 1e9}}; }
    static UnitInformationStorage terabytes() { return {{"TB", 1e12}}; }
    static UnitInformationStorage kibibytes() { return {{"KiB", 1024.0}}; }
    static UnitInformationStorage mebibytes() { return {{"MiB", 1048576.0}}; }
    static UnitInformationStorage gibibytes() { return {{"GiB", 1073741824.0}}; }
};

// A value with its unit. Sums and differences of values in different units are taken in
// the base unit, as the platform does; in the same unit they stay in it.
template <class Unit> struct Measurement {
    double value = 0;
    Unit unit = Unit::baseUnit();

    // Zero in the base unit: what sums start from.
    static Measurement zero() { return Measurement{0, Unit::baseUnit()}; }

    Measurement converted(const Unit& target) const {
        return Measurement{value * unit.coefficient / target.coefficient, target};
    }

    friend Measurement operator+(const Measurement& a, const Measurement& b) {
        if (a.unit == b.unit) {
            return Measurement{a.value + b.value, a.unit};
        }
        return Measurement{a.converted(Unit::baseUnit()).value +
                               b.converted(Unit::baseUnit()).value,
                           Unit::baseUnit()};
    }
    friend Measurement operator-(const Measurement& a, const Measurement& b) {
        if (a.unit == b.unit) {
            return Measurement{a.value - b.value, a.unit};
        }
        return Measurement{a.converted(Unit::baseUnit()).value -
                               b.converted(Unit::baseUnit()).value,
                           Unit::baseUnit()};
    }
    // Equal amounts, whatever their units.
    friend bool operator==(const Measurement& a, const Measurement& b) {
        return a.converted(Unit::baseUnit()).value == b.converted(Unit::baseUnit()).value;
    }
};

} // namespace zestrel::platform
