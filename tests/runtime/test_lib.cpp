// A small DLL for the late-binding tests: exports by name, by ordinal only and under names with
// at-signs (see test_lib.def).
extern "C" int TestPlain() {
  return 11;
}
extern "C" int TestSeven() {
  return 7;
}
extern "C" int TestX() {
  return 21;
}
extern "C" int TestAtFour() {
  return 4;
}
extern "C" int TestOrdinalOnly() {
  return 9;
}
