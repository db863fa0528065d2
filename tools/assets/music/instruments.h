// The show's instruments, synthesized from nothing: drums, bass, pad, lead,
// stab and effects, each an XM instrument with its samples and envelopes.
#pragma once
#include "xm_writer.h"

// Instrument numbers as the note cells use them (1-based, in the module's
// instrument table order).
enum MusicInstrument : uint8_t {
    InstrumentKick = 1,
    InstrumentSnare,
    InstrumentClap,
    InstrumentClosedHat,
    InstrumentOpenHat,
    InstrumentCrash,
    InstrumentBass,
    InstrumentPad,       // the low voice of the chord, centred
    InstrumentPadLeft,   // the same pad for the middle voice
    InstrumentPadRight,  // and for the top voice
    InstrumentArp,
    InstrumentArpEcho,  // the arpeggio's sound, panned right for its echo
    InstrumentLead,
    InstrumentStab,
    InstrumentImpact,
    InstrumentRiser,
    InstrumentTom,
    InstrumentBell,
    InstrumentShaker,
    InstrumentRide,
    InstrumentLeadDouble,  // the lead a few cents sharp, panned right
    MusicInstrumentCount = InstrumentLeadDouble
};

// Every instrument in number order; the result does not depend on anything
// but the code (fixed noise seeds).
std::vector<XmInstrument> make_music_instruments();
