// Placeholder storage until the archive reader lands.
#include "data/archive.h"

const char *ArchivePath = "orvanti.dat";
