#!/usr/bin/env python3
"""Checks that a machine with only the set-up's run list has every file the product's build used.

The needs come from the build tree given as the argument, not from any list: the tools CMake ran
(cmake, make or ninja, the compiler, pkg-config, moc, uic), the Qt packages' CMake files, every header
the product's sources included and every library its programs linked; the tests and the benchmarks are
left out. Make leaves the headers in each object's depfile and the link lines in link.txt; Ninja keeps
the headers in its own log and the link lines in build.ninja. Each need is mapped to its Debian package
with dpkg, and that package must be one that the run list brings for the tree's generator: a package
of the list, anything those depend on, or the base system.
"""
import json
import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.path.abspath(sys.argv[1])
SKIPPED_TREES = (os.path.join(BUILD, "tests") + "/", os.path.join(BUILD, "bench") + "/")


def run_list(generator):
    """The packages scripts/setup.sh installs for the run command on a machine that has none, when the
    build goes through this CMake generator."""
    with tempfile.TemporaryDirectory() as fake:
        stand_ins = {"dpkg-query": "exit 1", "id": "echo 0", "apt-get": f'echo "$*" >>"{fake}/apt.log"'}
        for name, body in stand_ins.items():
            with open(os.path.join(fake, name), "w") as script:
                script.write(f"#!/bin/sh\n{body}\n")
            os.chmod(os.path.join(fake, name), 0o755)
        env = dict(os.environ, PATH=fake + os.pathsep + os.environ["PATH"], CMAKE_GENERATOR=generator)
        subprocess.run(["bash", os.path.join(ROOT, "scripts", "setup.sh"), "run"], env=env, check=True,
                       stdout=subprocess.DEVNULL)
        with open(os.path.join(fake, "apt.log")) as log:
            install = next(line.split() for line in log if line.startswith("install "))
    return {word for word in install[1:] if not word.startswith("-")}


def installed_packages():
    """Each installed package's dependency groups, the names it provides, and the base system."""
    depends, provides, base = {}, {}, set()
    with open("/var/lib/dpkg/status", encoding="utf-8") as status:
        for stanza in status.read().split("\n\n"):
            fields = dict(re.findall(r"^([\w-]+): (.*)$", stanza, re.M))
            if "install ok installed" not in fields.get("Status", ""):
                continue
            name = fields["Package"]
            groups = ", ".join(filter(None, (fields.get("Pre-Depends"), fields.get("Depends"))))
            depends[name] = [[re.sub(r"[:\s(].*", "", alt.strip()) for alt in group.split("|")]
                             for group in groups.split(",") if group.strip()]
            for virtual in fields.get("Provides", "").split(","):
                provides.setdefault(re.sub(r"[\s(].*", "", virtual.strip()), []).append(name)
            if fields.get("Essential") == "yes" or fields.get("Priority") == "required":
                base.add(name)
    return depends, provides, base


def brought_by(packages):
    """The packages apt installs with these, without Recommends: each group's first alternative
    that is installed here, a virtual name through its providers."""
    depends, provides, base = installed_packages()
    brought, pending = set(base), list(packages) + list(base)
    while pending:
        name = pending.pop()
        for group in depends.get(name, []):
            chosen = next((alt for alt in group if alt in depends or alt in provides), None)
            for real in [chosen] if chosen in depends else provides.get(chosen, []):
                if real not in brought:
                    brought.add(real)
                    pending.append(real)
        brought.add(name)
    return brought


def cache_entries():
    with open(os.path.join(BUILD, "CMakeCache.txt")) as cache:
        return dict(re.findall(r"^([\w-]+):\w+=(.*)$", cache.read(), re.M))


def skipped(relative):
    return (os.path.join(BUILD, relative) + "/").startswith(SKIPPED_TREES)


def makefile_records():
    """The words of every product object's depfile and every product link line of a Makefiles tree."""
    words = []
    for folder, _, names in os.walk(BUILD):
        if skipped(folder):
            continue
        for name in names:
            if name.endswith(".o.d") or name == "link.txt":
                with open(os.path.join(folder, name), errors="replace") as text:
                    words += text.read().replace("\\\n", " ").split()
    return words


def ninja_records(ninja):
    """The headers of every product object in Ninja's log and the words of every product link line."""
    tool = [ninja, "-C", BUILD, "-t"]
    words, keep = [], False
    log = subprocess.run(tool + ["deps"], capture_output=True, text=True, check=True).stdout
    for line in log.splitlines():
        if line and not line[0].isspace():
            target = line.partition(": #deps")[0]
            keep = target.endswith(".o") and not skipped(target)
        elif keep:
            words.append(line.strip())
    with open(os.path.join(BUILD, "build.ninja")) as build:
        edges = re.findall(r"^build (\S+)[^:\n]*: \w+_LINKER__.*\n(?:  .*\n)*?  OBJECT_DIR = (\S+)$",
                           build.read(), re.M)
    links = [output for output, objects in edges if not skipped(objects)]
    commands = subprocess.run(tool + ["commands", "-s", *links], capture_output=True, text=True, check=True)
    return words + commands.stdout.split()


def autogen_tools():
    """moc and uic, as each target's automatic code generation ran them."""
    tools = set()
    for folder, _, names in os.walk(BUILD):
        if "AutogenInfo.json" in names and not skipped(folder):
            with open(os.path.join(folder, "AutogenInfo.json")) as text:
                info = json.load(text)
            tools |= {info[key] for key in ("QT_MOC_EXECUTABLE", "QT_UIC_EXECUTABLE") if info.get(key)}
    return tools


def used_files(entries):
    """The files the product's build used, read from the build tree."""
    files = {entries[key] for key in ("CMAKE_COMMAND", "CMAKE_MAKE_PROGRAM", "CMAKE_CXX_COMPILER",
                                      "CMAKE_AR", "PKG_CONFIG_EXECUTABLE")}
    files |= {f"{path}/{key[:-4]}Config.cmake" for key, path in entries.items()
              if re.fullmatch(r"Qt5\w+_DIR", key)}
    if entries["CMAKE_GENERATOR"] == "Ninja":
        records = ninja_records(entries["CMAKE_MAKE_PROGRAM"])
    else:
        records = makefile_records()
    files |= {word for word in records if word.startswith("/")}
    files |= autogen_tools()
    # The source and build folders themselves are named too (Ninja's link lines "cd" into the tree).
    return {path for path in files if not (path + "/").startswith((ROOT + "/", BUILD + "/")) and os.path.exists(path)}


def owners(paths):
    """The package that owns each path or, for a link no package owns (an alternative), its target's."""
    found = subprocess.run(["dpkg-query", "-S", *paths], capture_output=True, text=True).stdout
    owned = {}
    for line in found.splitlines():
        packages, _, path = line.partition(": ")
        if not line.startswith("diversion "):
            owned[path] = packages.split(",")[0].split(":")[0]
    links = {path: os.path.join(os.path.dirname(path), os.readlink(path))
             for path in paths if path not in owned and os.path.islink(path)}
    if links:
        targets = owners(list(links.values()))
        owned.update((path, targets.get(target)) for path, target in links.items())
    return owned


def main():
    entries = cache_entries()
    needed = used_files(entries)
    # A build tree whose records were not found would need nothing and pass.
    signs = {r"/qobject\.h$": "compiled product source", r"/libQt5Core\.so": "linked product program"}
    for sign, what in signs.items():
        if not any(re.search(sign, path) for path in needed):
            sys.exit(f"FAIL: {BUILD} holds no {what}: build the workstation first")
    brought = brought_by(run_list(entries["CMAKE_GENERATOR"]))
    missing = {}
    owned = owners(sorted(needed))
    for path in sorted(needed):
        package = owned.get(path)
        if package not in brought:
            missing.setdefault(package, path)
    for package, path in missing.items():
        print(f"FAIL: {path} comes from {package}, which the run list does not bring")
    print(f"{len(needed)} files the build used, {len(missing)} packages missing from the run list")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
