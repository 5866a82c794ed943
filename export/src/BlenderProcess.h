// One Blender process in the background running the FBX script: glTF files are handed to it
// a line at a time on its standard input, and it appends each outcome to a results file.
#pragma once

#include <sys/types.h>

#include <map>
#include <mutex>
#include <string>

namespace Export {

class BlenderProcess {
public:
    // Starts Blender on the script; its output goes to a log in `workDir`. Throws Except when
    // it can't be started.
    BlenderProcess(const std::string& blender, const std::string& script,
                   const std::string& workDir, unsigned index);
    // Ends Blender if it still runs (its input closed first, so it ends by itself).
    ~BlenderProcess();
    BlenderProcess(const BlenderProcess&) = delete;
    BlenderProcess& operator=(const BlenderProcess&) = delete;

    // Hands a file to Blender; from any thread. False when Blender no longer reads.
    bool Convert(const std::string& gltf, const std::string& fbx);
    // Closes the input and waits for Blender to end: per FBX file handed over, an empty string
    // when Blender wrote it, else why not.
    std::map<std::string, std::string> Finish();

private:
    std::string LastWords() const;

    std::string m_log;
    std::string m_results;
    pid_t m_pid = -1;
    int m_input = -1;
    std::mutex m_mutex;
    std::map<std::string, std::string> m_handed;  // FBX file -> its glTF
};

}  // namespace Export
