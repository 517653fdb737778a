// A DLL as anyone could leave it beside the program, under a name the program
// might look for. The backend checks show that it is loaded by its bare name
// only until the DLL search is restricted.
extern "C" __declspec(dllexport) int pyxPlanted() {
  return 1;
}
