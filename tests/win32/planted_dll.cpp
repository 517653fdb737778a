// A DLL as anyone could leave beside the program, under a name it might look
// for: the backend checks load it by its bare name until the search is restricted.
extern "C" __declspec(dllexport) int pyxPlanted() {
  return 1;
}
