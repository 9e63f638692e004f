// stub, replaced by the implementation
