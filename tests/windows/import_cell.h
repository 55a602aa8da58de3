// The probes' seam: the program calls each system function through a cell
// named after the import, and a cell defined by a probe takes the place of
// the system's. A cell's name is the linker's name of the import: on i686 it
// carries C's leading underscore and, for the system's stdcall functions,
// the bytes of the arguments.
#pragma once

#if defined(__x86_64__)
#define IMPORT_CELL(name, bytes) "__imp_" #name
#elif defined(__i386__)
#define IMPORT_CELL(name, bytes) "__imp__" #name "@" #bytes
#else
#error "no import cell names for this processor"
#endif
