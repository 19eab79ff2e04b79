// Envelope construction and the two gate events of the main thread.
#include "envelope.h"

Envelope::Envelope() noexcept {
    level = 0.0f;
    active = 0;
    segment = SEGMENT_ATTACK;
    elapsed = 0.0f;  // so a tick racing the first trigger still counts from zero
}

void Envelope::trigger() {
    std::printf("\nTRIG\n");
    segment = SEGMENT_ATTACK;
    active = 1;
    elapsed = 0.0f;
}

void Envelope::release() {
    std::printf("UNTRIG\n");
    segment = SEGMENT_RELEASED;
    elapsed = 0.0f;
    level = 0.0f;
}
