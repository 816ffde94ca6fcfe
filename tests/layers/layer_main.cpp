// Linked with one core library whole and the libraries below it (tests/CMakeLists.txt): that it
// links at all is the test, as every call the library makes must be met by its own layer or a
// lower one.
int main() {
    return 0;
}
