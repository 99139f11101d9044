#pragma once
#include <memory>

class QGObject;
class QGLevel;
struct PixelRect;
namespace sph {
class WaterObject;
}

// What draws one game object: built by the session's drawing services when the object is, owned
// by the object, and brought up to date from the object's state once a client step. Its
// destructor only lets go of what it drew: the object's own parts may be gone.
class ObjectLook {
public:
    virtual ~ObjectLook() = default;
    virtual void update() {}
};

// The drawing side of a client session (null on the server and on a headless client). The rules
// only hand over their objects and tell it of the few changes it cannot see by reading them.
class DrawingServices {
public:
    virtual ~DrawingServices() = default;
    // The look of a newly built object, or null for an object that draws nothing.
    virtual std::unique_ptr<ObjectLook> make_look(QGObject& object) = 0;
    // The level's pixels in the area changed.
    virtual void terrain_changed(QGLevel& level, const PixelRect& area) = 0;
    // The water object decoded a new occupancy.
    virtual void water_changed(sph::WaterObject& water) = 0;
};
