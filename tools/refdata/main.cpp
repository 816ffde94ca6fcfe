// tamso-refdata: regenerates the reference data of the working folder.
//   tamso-refdata [--out DIR] [--nist DIR] [--histories N] [--spr-histories N] [--threads T]
//                 [--seed S] [--physics-only] [--starting-files-only]
//   tamso-refdata --organ-tables [--out DIR] [--organ-histories N] [--threads T] [--seed S]
//   tamso-refdata --whole-body ap|pa [--energies 30,40,...] [--organ-histories N] [--threads T]
//   tamso-refdata --phantom   (the phantom's masses against their reference masses)
//   tamso-refdata --organ-comparisons [--out DIR]   (the table of DIR against published figures)

#include "tools/refdata/organtables.h"
#include "tools/refdata/refdatagen.h"

#include <cstdlib>
#include <exception>
#include <iostream>
#include <sstream>
#include <vector>
#include <string>

#ifndef TAMSO_REFDATA_NIST_DIR
#define TAMSO_REFDATA_NIST_DIR "tools/refdata/nist"
#endif

namespace {

namespace refgen = tamso::refgen;

enum class Task { Physics, OrganTables, WholeBody, Phantom, Comparisons };

struct Options {
    refgen::GeneratorSettings s;
    Task task = Task::Physics;
    refgen::BeamGeometry::Direction direction = refgen::BeamGeometry::Anterior;
    std::vector<double> energies = {30, 40, 50, 60, 80, 100};
    long long organHistories = -1;
};

// The list after --energies (keV, comma separated); false with a message when one is out of range.
bool parseEnergies(const std::string& text, std::vector<double>& energies) {
    energies.clear();
    std::stringstream list(text);
    for (std::string item; std::getline(list, item, ',');) {
        const double e = std::stod(item);
        if (!(e >= 5 && e <= 150)) {
            std::cerr << "energies must lie between 5 and 150 keV\n";
            return false;
        }
        energies.push_back(e);
    }
    return true;
}

// One option, with its value taken through `value` where it has one; false with a message when
// the option is unknown or its value is not allowed. Bad numbers throw.
template <class Value> bool applyOption(const std::string& a, Value&& value, Options& o) {
    refgen::GeneratorSettings& s = o.s;
    if (a == "--out")
        s.outFolder = value();
    else if (a == "--nist")
        s.nistFolder = value();
    else if (a == "--histories")
        s.bsfHistories = std::stoll(value());
    else if (a == "--spr-histories")
        s.sprHistories = std::stoll(value());
    else if (a == "--threads")
        s.threads = std::stoi(value());
    else if (a == "--seed")
        s.seed = std::stoull(value());
    else if (a == "--organ-tables")
        o.task = Task::OrganTables;
    else if (a == "--phantom")
        o.task = Task::Phantom;
    else if (a == "--organ-comparisons")
        o.task = Task::Comparisons;
    else if (a == "--organ-histories")
        o.organHistories = std::stoll(value());
    else if (a == "--whole-body") {
        o.task = Task::WholeBody;
        const std::string d = value();
        if (d != "ap" && d != "pa") {
            std::cerr << "--whole-body takes ap or pa\n";
            return false;
        }
        o.direction = d == "ap" ? refgen::BeamGeometry::Anterior : refgen::BeamGeometry::Posterior;
    } else if (a == "--energies") {
        return parseEnergies(value(), o.energies);
    } else if (a == "--physics-only")
        s.startingFiles = false;
    else if (a == "--starting-files-only")
        s.physics = false;
    else {
        std::cerr << "unknown option " << a << "\n";
        return false;
    }
    return true;
}

// Reads and checks the command line; false after a message when it cannot be used.
bool parseArguments(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << "missing value after " << a << "\n";
                std::exit(2);
            }
            return argv[++i];
        };
        try {
            if (!applyOption(a, value, o))
                return false;
        } catch (const std::exception&) {
            std::cerr << "bad number after " << a << "\n";
            return false;
        }
    }
    if (o.s.threads < 1 || o.s.bsfHistories < 1000 || o.s.sprHistories < 1000) {
        std::cerr << "threads must be >= 1 and histories >= 1000\n";
        return false;
    }
    if (o.organHistories != -1 && o.organHistories < 1000) {
        std::cerr << "histories >= 1000\n";
        return false;
    }
    return true;
}

void runTask(const Options& o) {
    const refgen::GeneratorSettings& s = o.s;
    switch (o.task) {
    case Task::Phantom:
        refgen::reportPhantom(refgen::phantom::Phantom::build(), std::cout);
        return;
    case Task::Comparisons:
        refgen::printPublishedComparisons(s.outFolder, std::cout);
        return;
    case Task::WholeBody:
        refgen::wholeBodyConversion(o.direction, o.energies, s.nistFolder,
                                    o.organHistories > 0 ? o.organHistories : 1000000, s.threads, s.seed, std::cout);
        return;
    case Task::OrganTables: {
        refgen::OrganTableSettings t;
        t.outFolder = s.outFolder;
        t.nistFolder = s.nistFolder;
        t.threads = s.threads;
        t.seed = s.seed;
        if (o.organHistories > 0)
            t.histories = o.organHistories;
        refgen::generateOrganTables(t, std::cout);
        return;
    }
    case Task::Physics:
        refgen::generate(s, std::cout);
        return;
    }
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    o.s.nistFolder = TAMSO_REFDATA_NIST_DIR;
    if (!parseArguments(argc, argv, o))
        return 2;
    try {
        runTask(o);
    } catch (const std::exception& e) {
        std::cerr << "tamso-refdata: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
