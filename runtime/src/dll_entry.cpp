// The PC build's DLL entry. The plug-ins are linked without the C runtime's
// start-up code: they have no constructors, destructors, thread-local data or
// static data to prepare, and the C library they call is the system's
// msvcrt.dll, which initialises itself when it is loaded. So the loader's
// calls need nothing but a yes.
extern "C" int __stdcall MacroDllEntry(void* /*module*/, unsigned long /*reason*/,
                                       void* /*reserved*/) {
  return 1;  // TRUE: attach and detach always succeed
}
