// A particle effect file (.vp) read from its bytes.
#include "engine/core/byte_buffer.h"
#include "engine/particles/particle_engine.h"
#include "engine/particles/particle_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ParticleLoader::ParticleFileTemplate file(nullptr);
    ByteBuffer in(data, size);
    ParticleLoader::read_template(file, in);
    // The prototypes belong to the reader's caller.
    for (ParticleEffectSettings& effect : file.events)
        for (CParticleSprite* prototype : effect.prototypes) delete prototype;
    return 0;
}
