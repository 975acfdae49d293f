// linkwell-sim: runs a scenario against the bridge in the simulated world
// and prints the trace.
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "scenario/scenario.h"
#include "sim/world.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: linkwell-sim FILE.scn | -\n";
        return 1;
    }
    const std::string file = argv[1];
    std::string source;
    if (file == "-") {
        source.assign(std::istreambuf_iterator<char>(std::cin), {});
    } else {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::cerr << file << ":0: cannot open the file\n";
            return 2;
        }
        source.assign(std::istreambuf_iterator<char>(in), {});
    }
    try {
        auto actions = linkwell::scenario::ParseScenario(source, file);
        linkwell::sim::World world(std::move(actions), std::cout);
        (void)world.Run();
        std::cout.flush();
        return std::cout ? 0 : 1;
    } catch (const linkwell::scenario::ScenarioError& e) {
        std::cerr << e.what() << '\n';
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "linkwell-sim: " << e.what() << '\n';
        return 1;
    }
}
