#pragma once

namespace zestrel::platform {

// A point on the earth in degrees (`CLLocationCoordinate2D`).
struct CLLocationCoordinate2D {
    double latitude = 0;
    double longitude = 0;
};

// The extent of a map region in degrees (`MKCoordinateSpan`).
struct MKCoordinateSpan {
    double latitudeDelta = 0;
    double longitudeDelta = 0;
};

} // namespace zestrel::platform
