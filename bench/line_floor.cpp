// The yardstick for tessivo-cli: a bare C++ program that reads a line from standard input
// and prints it. What a call of tessivo-cli costs beyond this is its own.
#include <iostream>
#include <string>

int main()
{
    std::string line;
    std::getline(std::cin, line);
    std::cout << line << '\n';
    return 0;
}
