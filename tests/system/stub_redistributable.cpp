// Stands in for a redistributable: carries version 1.0.3705.0 and exits with
// the code given as its first argument, so tests can read both back.
#include <cstdlib>

int main(int argc, char** argv) {
    return argc > 1 ? std::atoi(argv[1]) : 0;
}
