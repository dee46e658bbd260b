// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for Windows' netsh, for installing the MSI under Wine, whose netsh changes no
// firewall: its "advfirewall firewall" rules are kept one a line in netsh-rules.txt beside it,
// each the rule's words as given. As Microsoft documents the command: "add rule" adds a rule even
// where one of the same name exists, and "delete rule" deletes every rule that matches its name
// and the other words given, and fails with "No rules match the specified criteria." where none
// does.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace
{

std::string RulesPath()
{
    char cPath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, cPath, MAX_PATH);
    std::string strPath = cPath;
    return strPath.substr(0, strPath.find_last_of('\\') + 1) + "netsh-rules.txt";
}

std::vector<std::string> ReadRules()
{
    std::vector<std::string> rules;
    std::ifstream file(RulesPath());
    for (std::string strRule; std::getline(file, strRule);)
        rules.push_back(strRule);
    return rules;
}

void WriteRules(const std::vector<std::string>& rules)
{
    std::ofstream file(RulesPath(), std::ios::trunc);
    for (const std::string& strRule : rules)
        file << strRule << "\n";
}

// A rule matches when it holds each of the words given, as a whole word.
bool Matches(const std::string& strRule, const std::vector<std::string>& words)
{
    for (const std::string& strWord : words) {
        if (("\t" + strRule + "\t").find("\t" + strWord + "\t") == std::string::npos)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 4 || args[0] != "advfirewall" || args[1] != "firewall" || args[3] != "rule") {
        std::puts("The following command was not found.");
        return 1;
    }
    std::string strRule;
    for (std::size_t i = 4; i < args.size(); ++i)
        strRule += (i > 4 ? "\t" : "") + args[i];
    std::vector<std::string> rules = ReadRules();
    if (args[2] == "add") {
        rules.push_back(strRule);
        WriteRules(rules);
        std::puts("Ok.");
        return 0;
    }
    if (args[2] != "delete") {
        std::puts("The following command was not found.");
        return 1;
    }
    const std::vector<std::string> words(args.begin() + 4, args.end());
    std::vector<std::string> kept;
    for (const std::string& strExisting : rules) {
        if (!Matches(strExisting, words))
            kept.push_back(strExisting);
    }
    if (kept.size() == rules.size()) {
        std::puts("No rules match the specified criteria.");
        return 1;
    }
    WriteRules(kept);
    std::printf("Deleted %u rule(s).\nOk.\n", static_cast<unsigned>(rules.size() - kept.size()));
    return 0;
}
