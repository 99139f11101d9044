#include "net/sync/networkable.h"

#include <cmath>

#include "engine/core/saturate.h"

namespace {

template <typename I>
I lerp_integer(I old_value, I new_value, float t) {
    // The difference of two ints does not always fit an int; it is formed wide.
    int64_t diff = int64_t(new_value) - int64_t(old_value);
    return saturate_cast<I>(float(diff) * t + float(old_value));
}

// A value that is not finite (from a factor or a value gone wrong on either side) never reaches
// the field: the received value is taken instead, or, when that is no number either, the field
// keeps what it shows.
template <typename F>
void store_finite(F& out, F value, F new_value) {
    if (std::isfinite(value)) out = value;
    else if (std::isfinite(new_value)) out = new_value;
}

}  // namespace

void Networkable::run_pass(int pass_mode, ByteBuffer* packet) {
    if (pass_mode == Read) {
        fields_met = false;
        delegate_fields_ = 0;
    } else if (pass_mode == Interpolate) {
        interpolations_left_ = delegate_fields_;
        previous_state.rewind();
        received_state.rewind();
    }
    mode = pass_mode;
    current_packet = packet;
    sync_fields();
    mode = Idle;
}

bool Networkable::walk_fields(const uint8_t* record, size_t size) {
    shape_ = Shape{.walks = shape_.walks};
    check_record_ = record;
    check_size_ = size;
    check_at_ = 0;
    mode = Check;
    sync_fields();
    mode = Idle;
    check_record_ = nullptr;
    shape_.known = !shape_.walks;
    return check_at_ <= size;
}

void interpolate_linear(short& out, const short& old_value, const short& new_value, float t) {
    out = lerp_integer<short>(old_value, new_value, t);
}

void interpolate_linear(int& out, const int& old_value, const int& new_value, float t) {
    out = lerp_integer<int>(old_value, new_value, t);
}

void interpolate_linear(float& out, const float& old_value, const float& new_value, float t) {
    store_finite(out, (new_value - old_value) * t + old_value, new_value);
}

void interpolate_linear(double& out, const double& old_value, const double& new_value, float t) {
    store_finite(out, (new_value - old_value) * double(t) + old_value, new_value);
}

void interpolate_linear(ivec2d& out, const ivec2d& old_value, const ivec2d& new_value, float t) {
    int64_t dx = int64_t(new_value.x) - old_value.x;
    int64_t dy = int64_t(new_value.y) - old_value.y;
    out.x = saturate_cast<int32_t>(float(old_value.x) + float(dx) * t);
    out.y = saturate_cast<int32_t>(float(old_value.y) + float(dy) * t);
}

void interpolate_linear(dvec2d& out, const dvec2d& old_value, const dvec2d& new_value, float t) {
    interpolate_linear(out.x, old_value.x, new_value.x, t);
    interpolate_linear(out.y, old_value.y, new_value.y, t);
}

void interpolate_angle(float& out, const float& old_value, const float& new_value, float t) {
    float a = old_value;
    if (new_value - old_value > 180.0f) a = old_value + 360.0f;
    else if (old_value - new_value > 180.0f) a = old_value - 360.0f;
    store_finite(out, (new_value - a) * t + a, new_value);
}

const InterpolationCallback<short> default_short_interpolation(&interpolate_linear);
const InterpolationCallback<int> default_int_interpolation(&interpolate_linear);
const InterpolationCallback<float> default_float_interpolation(&interpolate_linear);
const InterpolationCallback<double> default_double_interpolation(&interpolate_linear);
const InterpolationCallback<ivec2d> default_ivec2d_interpolation(&interpolate_linear);
const InterpolationCallback<dvec2d> default_dvec2d_interpolation(&interpolate_linear);
const InterpolationCallback<float> default_angle_interpolation(&interpolate_angle);
