// The translation unit that builds the precompiled header of the tests.
