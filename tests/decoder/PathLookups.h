#pragma once

// Every way a process can look up a path, each made as a raw system call, for
// the tests that show the decoder's confinement leaves none working.

// How many lookups there are.
int pathLookupCount();

// What lookup `which` is, in a few words.
const char* pathLookupName(int which);

// Makes lookup `which` on a file or folder that exists outside any sandbox;
// the call's result (negative: it failed).
long tryPathLookup(int which);
